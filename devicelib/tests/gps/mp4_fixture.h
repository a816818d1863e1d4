// Builds camera recordings for tests, benchmarks and fuzz seeds: MP4 videos whose third track
// holds one GPS sample per chunk (scrambled as a camera scrambles them), and JPEG pictures with a
// GPS trailer. Header-only so that programs outside the test folder can include it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <fstream>

namespace gpsfixture {

using Bytes = std::vector<uint8_t>;

inline void putBe(Bytes& out, uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

inline void putLe32(uint8_t* out, int32_t value) {
    const auto v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<uint8_t>(v >> (8 * i));
    }
}

inline void append(Bytes& out, const Bytes& more) {
    out.insert(out.end(), more.begin(), more.end());
}

inline Bytes box(std::string_view type, const Bytes& body) {
    Bytes out;
    putBe(out, 8 + body.size(), 4);
    out.insert(out.end(), type.begin(), type.begin() + 4);
    append(out, body);
    return out;
}

// A box whose size is carried in the 64-bit field (size field 1).
inline Bytes largeBox(std::string_view type, const Bytes& body) {
    Bytes out;
    putBe(out, 1, 4);
    out.insert(out.end(), type.begin(), type.begin() + 4);
    putBe(out, 16 + body.size(), 8);
    append(out, body);
    return out;
}

inline Bytes fullBox(std::string_view type, const Bytes& body) {
    Bytes withVersion(4, 0);
    append(withVersion, body);
    return box(type, withVersion);
}

// ---- GPS records, before scrambling ----

// The 11-byte key record: one unused byte, eight key digits, two unused bytes.
inline Bytes keyRecord(std::string_view digits) {
    Bytes out(11, 0);
    std::memcpy(out.data() + 1, digits.data(), digits.size() < 8 ? digits.size() : 8);
    return out;
}

// Key of eight digits: d1+d2+d3+d4+2*d5+d6+d7+2*d8.
inline int keyOf(std::string_view digits) {
    int key = 0;
    for (size_t i = 0; i < digits.size() && i < 8; ++i) {
        const int d = (digits[i] >= '0' && digits[i] <= '9') ? digits[i] - '0' : 0;
        key += (i == 4 || i == 7) ? 2 * d : d;
    }
    return key;
}

struct HeaderFields {
    std::string keyDigits = "00000000";
    std::string serverNumber;  // at most 8 characters
    uint8_t fileType = 0;
    std::string position;  // at most 31 characters: "lat:lon" (video) or "lat;?lon" (jpeg)
    int32_t gsensor[3] = {0, 0, 0};
    bool marker = true;  // byte 1 = 0xFF
};

// The 128-byte header record, also the layout of a JPEG trailer.
inline Bytes headerRecord(const HeaderFields& f) {
    Bytes out(128, 0);
    if (f.marker) {
        out[1] = 0xFF;
    }
    std::memcpy(out.data() + 33, f.keyDigits.data(),
                f.keyDigits.size() < 8 ? f.keyDigits.size() : 8);
    std::memcpy(out.data() + 60, f.serverNumber.data(),
                f.serverNumber.size() < 8 ? f.serverNumber.size() : 8);
    out[68] = f.fileType;
    std::memcpy(out.data() + 69, f.position.data(),
                f.position.size() < 31 ? f.position.size() : 31);
    for (int i = 0; i < 3; ++i) {
        putLe32(out.data() + 100 + 4 * i, f.gsensor[i]);
    }
    return out;
}

// A 128-byte binary point record (also a udat record).
inline Bytes binaryRecord(uint8_t mark, int32_t x, int32_t y, int32_t z,
                          std::string_view sentence) {
    Bytes out(128, 0);
    out[1] = mark;
    putLe32(out.data() + 4, x);
    putLe32(out.data() + 8, y);
    putLe32(out.data() + 12, z);
    std::memcpy(out.data() + 16, sentence.data(), sentence.size() < 112 ? sentence.size() : 112);
    return out;
}

// A text point record: lead character, three thousandths and the sentence, tab-separated.
inline Bytes textRecord(int32_t x, int32_t y, int32_t z, std::string_view sentence,
                        std::string_view lead = "A") {
    std::string text(lead);
    text += std::to_string(x) + "\t" + std::to_string(y) + "\t" + std::to_string(z) + "\t";
    text += sentence;
    return Bytes(text.begin(), text.end());
}

inline Bytes scramble(Bytes payload, int key) {
    for (uint8_t& b : payload) {
        b = static_cast<uint8_t>(b + (key & 0xFF));
    }
    return payload;
}

// ---- MP4 videos ----

struct Sample {
    Bytes payload;
    int lengthField = -1;  // the stored length; -1 stores the payload's own size
};

struct VideoSpec {
    std::vector<Sample> samples;  // the third track's chunks, in order
    int trackCount = 3;
    bool co64 = false;
    bool moovFirst = true;        // moov before mdat (else after it)
    uint64_t mdatBodySize = 0;    // 0: just the samples; larger: samples spread over a sparse body
    uint64_t mdatBodyOffset = 0;  // extra gap (sparse) before the samples inside mdat
    bool largeMdat = false;       // mdat with a 64-bit size field
    Bytes beforeMoov;             // raw top-level boxes placed before moov and mdat
    Bytes udatBody;               // non-empty: a top-level udat box with this body, at the end
    std::vector<std::pair<size_t, uint64_t>> offsetOverrides;  // sample index -> chunk offset
};

// One stretch of bytes at a file offset; the file is sparse between stretches.
struct Layout {
    std::vector<std::pair<uint64_t, Bytes>> pieces;
    uint64_t size = 0;

    void put(uint64_t offset, Bytes bytes) {
        if (offset + bytes.size() > size) {
            size = offset + bytes.size();
        }
        pieces.emplace_back(offset, std::move(bytes));
    }
};

inline Bytes sampleTable(const std::vector<uint64_t>& offsets, const std::vector<uint32_t>& sizes,
                         bool co64) {
    const auto n = static_cast<uint32_t>(offsets.size());
    Bytes stsdEntry(8, 0);  // reserved(6), data reference index(2)
    stsdEntry[7] = 1;
    Bytes stsd;
    putBe(stsd, 1, 4);
    append(stsd, box("gpmd", stsdEntry));
    Bytes stts;
    putBe(stts, 1, 4);
    putBe(stts, n, 4);
    putBe(stts, 1000, 4);
    Bytes stsc;
    putBe(stsc, 1, 4);
    putBe(stsc, 1, 4);  // first chunk
    putBe(stsc, 1, 4);  // samples per chunk
    putBe(stsc, 1, 4);  // description index
    Bytes stsz;
    putBe(stsz, 0, 4);
    putBe(stsz, n, 4);
    for (uint32_t s : sizes) {
        putBe(stsz, s, 4);
    }
    Bytes chunks;
    putBe(chunks, n, 4);
    for (uint64_t o : offsets) {
        putBe(chunks, o, co64 ? 8 : 4);
    }
    Bytes stbl;
    append(stbl, fullBox("stsd", stsd));
    append(stbl, fullBox("stts", stts));
    append(stbl, fullBox("stsc", stsc));
    append(stbl, fullBox("stsz", stsz));
    append(stbl, fullBox(co64 ? "co64" : "stco", chunks));
    return box("stbl", stbl);
}

inline Bytes track(uint32_t id, std::string_view handler, const Bytes& stbl) {
    Bytes tkhd(80, 0);
    tkhd[11] = static_cast<uint8_t>(id);
    Bytes mdhd(20, 0);
    Bytes hdlr(20, 0);
    std::memcpy(hdlr.data() + 4, handler.data(), 4);
    Bytes dref;
    putBe(dref, 1, 4);
    append(dref, fullBox("url ", {}));
    Bytes minf;
    append(minf, fullBox("nmhd", {}));
    append(minf, box("dinf", fullBox("dref", dref)));
    append(minf, stbl);
    Bytes mdia;
    append(mdia, fullBox("mdhd", mdhd));
    append(mdia, fullBox("hdlr", hdlr));
    append(mdia, box("minf", minf));
    Bytes trak;
    append(trak, fullBox("tkhd", tkhd));
    append(trak, box("mdia", mdia));
    return box("trak", trak);
}

inline Bytes movie(const VideoSpec& plan, const std::vector<uint64_t>& offsets,
                   const std::vector<uint32_t>& sizes) {
    Bytes moov;
    append(moov, fullBox("mvhd", Bytes(96, 0)));
    for (int t = 0; t < plan.trackCount; ++t) {
        if (t == 2) {
            append(moov, track(3, "meta", sampleTable(offsets, sizes, plan.co64)));
        } else {
            // The picture and sound tracks point into mdat too; their chunks are not GPS samples.
            append(moov, track(static_cast<uint32_t>(t + 1), t == 0 ? "vide" : "soun",
                               sampleTable({offsets.empty() ? 0 : offsets[0]}, {16}, false)));
        }
    }
    return box("moov", moov);
}

inline Layout layoutVideo(const VideoSpec& plan) {
    Bytes ftyp;
    ftyp.insert(ftyp.end(),
                {'i', 's', 'o', 'm', 0, 0, 2, 0, 'i', 's', 'o', 'm', 'm', 'p', '4', '1'});
    const Bytes ftypBox = box("ftyp", ftyp);

    std::vector<Bytes> stored;
    std::vector<uint32_t> sizes;
    uint64_t packed = 0;
    for (const Sample& s : plan.samples) {
        Bytes bytes;
        putBe(bytes, s.lengthField < 0 ? s.payload.size() : static_cast<uint64_t>(s.lengthField),
              2);
        append(bytes, s.payload);
        sizes.push_back(static_cast<uint32_t>(bytes.size()));
        packed += bytes.size();
        stored.push_back(std::move(bytes));
    }
    const uint64_t body = std::max<uint64_t>(plan.mdatBodySize, plan.mdatBodyOffset + packed);
    const uint64_t mdatHeader = plan.largeMdat ? 16 : 8;
    if (!plan.largeMdat && body + 8 > UINT32_MAX) {
        throw std::invalid_argument("mdat needs a 64-bit size");
    }
    // Spread the samples evenly when the body is larger than they are.
    const uint64_t spare = body - plan.mdatBodyOffset - packed;
    const uint64_t gap = stored.empty() ? 0 : spare / stored.size();

    const std::vector<uint64_t> dummy(stored.size(), 0);
    const uint64_t moovSize = movie(plan, dummy, sizes).size();
    const uint64_t prefix = ftypBox.size() + plan.beforeMoov.size();
    const uint64_t mdatStart = plan.moovFirst ? prefix + moovSize : prefix;
    const uint64_t moovStart = plan.moovFirst ? prefix : mdatStart + mdatHeader + body;

    std::vector<uint64_t> offsets;
    uint64_t at = mdatStart + mdatHeader + plan.mdatBodyOffset;
    for (const Bytes& s : stored) {
        offsets.push_back(at);
        at += s.size() + gap;
    }
    for (const auto& [index, offset] : plan.offsetOverrides) {
        offsets.at(index) = offset;
    }

    Layout layout;
    layout.put(0, ftypBox);
    layout.put(ftypBox.size(), plan.beforeMoov);
    layout.put(moovStart, movie(plan, offsets, sizes));
    Bytes mdatHead;
    if (plan.largeMdat) {
        putBe(mdatHead, 1, 4);
        mdatHead.insert(mdatHead.end(), {'m', 'd', 'a', 't'});
        putBe(mdatHead, mdatHeader + body, 8);
    } else {
        putBe(mdatHead, mdatHeader + body, 4);
        mdatHead.insert(mdatHead.end(), {'m', 'd', 'a', 't'});
    }
    layout.put(mdatStart, mdatHead);
    uint64_t sampleAt = mdatStart + mdatHeader + plan.mdatBodyOffset;
    for (Bytes& s : stored) {
        const uint64_t size = s.size();
        layout.put(sampleAt, std::move(s));
        sampleAt += size + gap;
    }
    if (layout.size < mdatStart + mdatHeader + body) {
        layout.size = mdatStart + mdatHeader + body;
    }
    if (!plan.udatBody.empty()) {
        layout.put(layout.size, box("udat", plan.udatBody));
    }
    return layout;
}

inline Bytes toBytes(const Layout& layout) {
    Bytes out(layout.size, 0);
    for (const auto& [offset, bytes] : layout.pieces) {
        std::copy(bytes.begin(), bytes.end(), out.begin() + static_cast<std::ptrdiff_t>(offset));
    }
    return out;
}

// Writes the layout; the gaps become holes, so a 1 GiB mdat costs a few pages of disk.
inline void writeLayout(const std::string& path, const Layout& layout) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) {
        throw std::runtime_error("cannot create " + path);
    }
    // Stream offsets have 64 bits everywhere, unlike long and, on Windows, off_t.
    const auto put = [&file](uint64_t offset, const uint8_t* data, size_t size) {
        file.seekp(static_cast<std::streamoff>(offset));
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        return bool(file);
    };
    bool ok = true;
    for (const auto& [offset, bytes] : layout.pieces) {
        ok = ok && (bytes.empty() || put(offset, bytes.data(), bytes.size()));
    }
    if (ok && layout.size > 0) {
        // The last byte fixes the file size when the layout ends in a hole.
        uint8_t last = 0;
        for (const auto& [offset, bytes] : layout.pieces) {
            if (!bytes.empty() && offset + bytes.size() == layout.size) {
                last = bytes.back();
            }
        }
        ok = put(layout.size - 1, &last, 1);
    }
    file.close();
    ok = ok && bool(file);
    if (!ok) {
        throw std::runtime_error("cannot write " + path);
    }
}

inline void writeBytes(const std::string& path, const Bytes& bytes) {
    Layout layout;
    layout.put(0, bytes);
    writeLayout(path, layout);
}

// A JPEG body (SOI ... EOI) of at least the given size followed by a 128-byte trailer.
inline Bytes picture(const Bytes& trailer, size_t bodySize = 64) {
    Bytes out = {0xFF, 0xD8, 0xFF, 0xE0};
    out.resize(bodySize < 6 ? 6 : bodySize, 0x11);
    out[out.size() - 2] = 0xFF;
    out[out.size() - 1] = 0xD9;
    append(out, trailer);
    return out;
}

// A small video whose table has count entries after the key, all naming one text sample of the
// sentence: count points from a file of four bytes an entry.
inline Bytes repeatedSampleVideo(uint32_t count, std::string_view sentence) {
    Bytes file = box("ftyp", Bytes(16, 'i'));
    Bytes samples;
    const auto putSample = [&samples](const Bytes& payload) {
        putBe(samples, payload.size(), 2);
        append(samples, payload);
    };
    const uint64_t keyAt = file.size() + 8;  // inside the free box that follows
    putSample(keyRecord("00000000"));
    const uint64_t textAt = keyAt + samples.size();
    putSample(textRecord(12, -34, 1000, sentence));
    append(file, box("free", samples));

    Bytes table;
    putBe(table, count + 1, 4);
    putBe(table, keyAt, 4);
    for (uint32_t i = 0; i < count; ++i) {
        putBe(table, textAt, 4);
    }
    const Bytes stbl = box("stbl", fullBox("stco", table));
    Bytes moov = box("trak", {});
    append(moov, box("trak", {}));
    append(moov, box("trak", box("mdia", box("minf", stbl))));
    append(file, box("moov", moov));
    return file;
}

}  // namespace gpsfixture
