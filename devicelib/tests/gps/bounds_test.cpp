// The walks end and stay bounded on hostile files: huge or repeating chunk offset tables, box
// sizes that lie, udat boxes in odd shapes. Also the order of the read-ahead hints.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "gps/byte_reader.h"
#include "gps/gps_parser.h"
#include "mp4_fixture.h"
#include "test_files.h"

namespace gps = dalvex::gps;
using gpsfixture::Bytes;

namespace {

// Reads a layout of byte stretches as a file of the given size with zeros between them, and
// records every announcement and read, so a test can play a 17 GiB file from a few bytes.
class LayoutReader final : public gps::ByteReader {
  public:
    struct Event {
        bool announce;
        uint64_t position;
        uint64_t length;
    };

    explicit LayoutReader(gpsfixture::Layout layout, uint64_t size = 0)
        : layout_(std::move(layout)), size_(std::max(size, layout_.size)) {}
    uint64_t size() const override { return size_; }
    void announce(uint64_t position, uint64_t n) override { events.push_back({true, position, n}); }
    std::vector<Event> events;
    bool cold = false;  // no byte is at hand: every sample must be read the slow way

  protected:
    bool readAtHandAt(uint64_t position, void* dst, size_t n, size_t& got) override {
        if (cold) {
            return false;
        }
        got = readAt(position, dst, n);
        return true;
    }
    size_t readAt(uint64_t position, void* dst, size_t n) override {
        if (position >= size_) {
            return 0;
        }
        n = static_cast<size_t>(std::min<uint64_t>(n, size_ - position));
        std::memset(dst, 0, n);
        for (const auto& [offset, bytes] : layout_.pieces) {
            const uint64_t from = std::max(offset, position);
            const uint64_t to = std::min(offset + bytes.size(), position + n);
            if (from < to) {
                std::memcpy(static_cast<uint8_t*>(dst) + (from - position),
                            bytes.data() + (from - offset), static_cast<size_t>(to - from));
            }
        }
        events.push_back({false, position, n});
        return n;
    }

  private:
    gpsfixture::Layout layout_;
    uint64_t size_;
};

Bytes ftypBox() {
    return gpsfixture::box("ftyp", Bytes(16, 'i'));
}

// ftyp and a moov whose third track's chunk offset table declares count entries, of which
// entries are present; the entries run on into whatever follows.
Bytes movieWithTable(uint32_t count, const std::vector<uint32_t>& entries) {
    Bytes table;
    gpsfixture::putBe(table, count, 4);
    for (uint32_t e : entries) {
        gpsfixture::putBe(table, e, 4);
    }
    const Bytes stbl = gpsfixture::box("stbl", gpsfixture::fullBox("stco", table));
    const Bytes gpsTrack =
        gpsfixture::box("trak", gpsfixture::box("mdia", gpsfixture::box("minf", stbl)));
    Bytes moov = gpsfixture::box("trak", {});
    gpsfixture::append(moov, gpsfixture::box("trak", {}));
    gpsfixture::append(moov, gpsTrack);
    Bytes file = ftypBox();
    gpsfixture::append(file, gpsfixture::box("moov", moov));
    return file;
}

void putSample(Bytes& file, const Bytes& payload) {
    gpsfixture::putBe(file, payload.size(), 2);
    gpsfixture::append(file, payload);
}

size_t countPoints(gps::ByteReader& in) {
    gps::GpsParser parser;
    parser.setKeepPoints(false);
    parser.parseVideo(in);
    return parser.pointCount();
}

// A table that declares 0xFFFFFFFF entries in a file that claims to be 17 GiB: every entry is
// zero and names the ftyp box, an empty sample. The walk reads up to the cap and stops.
TEST(TrackBounds, TableOfFourBillionEmptyEntriesEnds) {
    gpsfixture::Layout layout;
    layout.put(0, movieWithTable(0xFFFFFFFF, {}));
    LayoutReader in(layout, uint64_t(0xFFFFFFFF) * 4 + 4096);
    EXPECT_EQ(countPoints(in), 0U);
    const uint64_t perEntry = 4 + 2 + gps::kRecordSize;
    EXPECT_LE(in.bytesRead(), uint64_t(gps::kMaxTrackEntries) * perEntry + 4096);
    EXPECT_GE(in.bytesRead(), uint64_t(gps::kMaxTrackEntries) * 4);
}

// Entry 0 names the key; of the two text samples just inside and just past the cap, only the
// first is read.
TEST(TrackBounds, EntriesPastTheCapAreNotRead) {
    const uint32_t cap = gps::kMaxTrackEntries;
    std::vector<uint32_t> entries(cap + 2);
    Bytes file = movieWithTable(cap + 2, {});
    const uint32_t empty = 0;  // the ftyp box: length field 0
    const auto keyAt = static_cast<uint32_t>(file.size() + entries.size() * 4);
    Bytes samples;
    putSample(samples, gpsfixture::keyRecord("00000000"));
    const auto textAt = static_cast<uint32_t>(keyAt + samples.size());
    putSample(samples, gpsfixture::textRecord(1, 2, 3, gpstest::kRmc));
    std::fill(entries.begin(), entries.end(), empty);
    entries[0] = keyAt;
    entries[cap - 1] = textAt;
    entries[cap] = textAt;
    file = movieWithTable(cap + 2, entries);
    gpsfixture::append(file, samples);
    gps::MemoryReader in(file.data(), file.size());
    EXPECT_EQ(countPoints(in), 1U);
}

TEST(TrackBounds, UdatRecordsStopAtTheCap) {
    gpsfixture::Layout layout;
    layout.put(0, ftypBox());
    Bytes udat;
    gpsfixture::putBe(udat, 8, 4);
    udat.insert(udat.end(), {'u', 'd', 'a', 't'});
    layout.put(layout.size, udat);
    // Records of zeros are points without a position; two more than the cap are there.
    LayoutReader in(layout, layout.size + (uint64_t(gps::kMaxTrackEntries) + 2) * 128);
    EXPECT_EQ(countPoints(in), gps::kMaxTrackEntries);
}

// On a cold file the samples of each block of offsets are announced before the first of them is
// read; samples at hand are read once and never announced.
TEST(TrackBounds, SampleReadsAreAnnouncedBlockByBlock) {
    gpsfixture::HeaderFields header;
    header.keyDigits = "00000000";
    gpsfixture::VideoSpec plan;
    plan.samples.push_back({gpsfixture::headerRecord(header)});
    const size_t samples = gps::kOffsetBlock + 300;
    for (size_t i = 1; i < samples; ++i) {
        plan.samples.push_back(
            {gpsfixture::binaryRecord(1, static_cast<int32_t>(i), 0, 0, gpstest::kRmc)});
    }
    plan.mdatBodySize = samples * 1000;  // samples spread apart, so each is a range of its own
    const gpsfixture::Layout layout = gpsfixture::layoutVideo(plan);
    const auto countSampleReads = [](const LayoutReader& reader) {
        return std::count_if(reader.events.begin(), reader.events.end(), [](const auto& e) {
            return !e.announce && e.length == 2 + gps::kRecordSize;
        });
    };
    LayoutReader warm(layout);
    ASSERT_EQ(countPoints(warm), samples);
    EXPECT_EQ(countSampleReads(warm), static_cast<std::ptrdiff_t>(samples));
    EXPECT_TRUE(std::none_of(warm.events.begin(), warm.events.end(),
                             [](const auto& e) { return e.announce; }));

    LayoutReader in(layout);
    in.cold = true;
    ASSERT_EQ(countPoints(in), samples);
    std::vector<size_t> sampleReads;  // event index of each sample read
    for (size_t e = 0; e < in.events.size(); ++e) {
        if (!in.events[e].announce && in.events[e].length == 2 + gps::kRecordSize) {
            sampleReads.push_back(e);
        }
    }
    ASSERT_EQ(sampleReads.size(), samples);
    for (size_t i = 0; i < sampleReads.size(); ++i) {
        const LayoutReader::Event& read = in.events[sampleReads[i]];
        const size_t blockStart = sampleReads[i - i % gps::kOffsetBlock];
        const auto covering = std::find_if(in.events.begin(), in.events.end(), [&](const auto& a) {
            return a.announce && a.position <= read.position &&
                   read.position + read.length <= a.position + a.length;
        });
        ASSERT_NE(covering, in.events.end()) << i;
        EXPECT_LT(static_cast<size_t>(covering - in.events.begin()), blockStart) << i;
    }
}

// ---- the running total and the child walk of moov ----

// Below the third track the only bound is the running total of the sizes met on the way: the
// top-level boxes up to moov and the children of moov up to the third trak. moov here declares
// only its header, so the total is whatever the third trak's size makes it; its children are
// read on past the end of moov all the same.
TEST(TrackBounds, RunningTotalEndsTheWalkOnlyWhenPassed) {
    gpsfixture::VideoSpec plan;
    plan.samples = {{gpsfixture::keyRecord("00000000")},
                    {gpsfixture::textRecord(1, 2, 3, gpstest::kRmc)}};
    Bytes file = gpsfixture::toBytes(gpsfixture::layoutVideo(plan));
    const size_t moovAt = ftypBox().size();
    ASSERT_EQ(std::memcmp(file.data() + moovAt + 4, "moov", 4), 0);
    file[moovAt] = file[moovAt + 1] = file[moovAt + 2] = 0;
    file[moovAt + 3] = 8;
    const auto find = [&file](const char* type, int nth) {
        size_t at = 0;
        for (int n = 0; n < nth; ++n) {
            at = static_cast<size_t>(std::search(file.begin() + static_cast<std::ptrdiff_t>(at) + 1,
                                                 file.end(), type, type + 4) -
                                     file.begin());
        }
        return at - 4;  // the box starts with its size field
    };
    const size_t trakAt = find("trak", 3);
    const size_t tableAt = find("stco", 3) + 8;  // the position after the table's header
    struct Case {
        uint64_t trakSize;
        size_t points;
    };
    // The total is the third trak's end by its size; the walk ends once the position passes it.
    for (const Case c : {Case{tableAt - trakAt, 1}, Case{tableAt - trakAt - 1, 0}}) {
        Bytes sized = file;
        for (int b = 0; b < 4; ++b) {
            sized[trakAt + static_cast<size_t>(b)] =
                static_cast<uint8_t>(c.trakSize >> (24 - 8 * b));
        }
        gps::MemoryReader in(sized.data(), sized.size());
        EXPECT_EQ(countPoints(in), c.points) << c.trakSize;
    }
}

// ---- udat ----

Bytes udatHeader(uint32_t sizeField, uint64_t largeSize = 0) {
    Bytes out;
    gpsfixture::putBe(out, sizeField, 4);
    out.insert(out.end(), {'u', 'd', 'a', 't'});
    if (sizeField == 1) {
        gpsfixture::putBe(out, largeSize, 8);
    }
    return out;
}

// The records run to the end of the file, so the box's size is not judged: sizes too small for
// the header still mark the box, and records after the box's end are read.
TEST(UdatScan, RecordsRunToTheEndOfTheFileWhateverTheSize) {
    struct Case {
        const char* name;
        Bytes header;
    };
    const Case cases[] = {
        {"OneRecordBox", udatHeader(8 + 128)}, {"SizeTwo", udatHeader(2)},
        {"SizeSeven", udatHeader(7)},          {"SizeZero", udatHeader(0)},
        {"LargeSizeEight", udatHeader(1, 8)},  {"LargeSizeFifteen", udatHeader(1, 15)},
    };
    for (const Case& c : cases) {
        Bytes file = ftypBox();
        gpsfixture::append(file, c.header);
        for (int r = 0; r < 3; ++r) {
            gpsfixture::append(
                file, gpsfixture::binaryRecord(static_cast<uint8_t>(r), 0, 0, 0, gpstest::kRmc));
        }
        file.resize(file.size() + 100, 0x55);  // a partial record at the end is not read
        gps::GpsParser parser;
        gps::MemoryReader in(file.data(), file.size());
        parser.parseVideo(in);
        ASSERT_EQ(parser.points().size(), 3U) << c.name;
        EXPECT_EQ(parser.points()[2].mark, 2) << c.name;
        EXPECT_STREQ(parser.points()[2].lat_text, "+22.535390") << c.name;
    }
}

// A box before udat that cannot hold its header still ends the search.
TEST(UdatScan, UnreadableBoxBeforeUdatEndsTheSearch) {
    Bytes file = ftypBox();
    gpsfixture::append(file, gpsfixture::box("free", {}));
    file[file.size() - 5] = 4;  // free declares 4 bytes
    gpsfixture::append(file, udatHeader(8));
    gpsfixture::append(file, gpsfixture::binaryRecord(1, 0, 0, 0, gpstest::kRmc));
    gps::MemoryReader in(file.data(), file.size());
    EXPECT_EQ(countPoints(in), 0U);
}

// The fallback refuses paths shorter than four characters.
TEST(UdatScan, PathsShorterThanFourCharactersAreRefused) {
    gpstest::TempDir dir;
    Bytes file = ftypBox();
    gpsfixture::append(file, udatHeader(8));
    gpsfixture::append(file, gpsfixture::binaryRecord(1, 0, 0, 0, gpstest::kRmc));
    const std::string cwd = std::filesystem::current_path().string();
    std::filesystem::current_path(dir.file(""));
    gpsfixture::writeBytes("abc", file);
    gpsfixture::writeBytes("abcd", file);
    gps::GpsParser parser;
    parser.parse("abc");
    const size_t shortPath = parser.pointCount();
    parser.parse("abcd");
    const size_t longPath = parser.pointCount();
    std::filesystem::current_path(cwd);
    EXPECT_EQ(shortPath, 0U);
    EXPECT_EQ(longPath, 1U);
}

}  // namespace
