// Writes small seed corpora for the fuzz targets: make_seeds DIR creates DIR/<target>/ folders
// holding recordings built like the tests build them.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "mp4_fixture.h"

namespace fs = std::filesystem;
using gpsfixture::Bytes;

namespace {

const char* const kRmc = "$GPRMC,123519,A,2232.1234,N,11356.12345,W,022.4,084.4,230394,003.1,W*6A";
const char* const kGga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47";

void put(const fs::path& dir, const std::string& name, const Bytes& bytes) {
    fs::create_directories(dir);
    gpsfixture::writeBytes((dir / name).string(), bytes);
}

Bytes video(const gpsfixture::VideoSpec& plan) {
    return gpsfixture::toBytes(gpsfixture::layoutVideo(plan));
}

gpsfixture::HeaderFields header() {
    gpsfixture::HeaderFields f;
    f.keyDigits = "12345678";
    f.serverNumber = "SRV01";
    f.fileType = 3;
    f.position = "N22.535390,:E113.208699";
    f.gsensor[0] = 12;
    return f;
}

void videoSeeds(const fs::path& dir) {
    const int key = gpsfixture::keyOf("12345678");
    gpsfixture::VideoSpec text;
    text.samples = {{gpsfixture::scramble(gpsfixture::textRecord(1, 2, 3, kRmc), key)},
                    {gpsfixture::keyRecord("12345678")},
                    {gpsfixture::scramble(gpsfixture::textRecord(4, 5, 6, kRmc), key)},
                    {{}},
                    {gpsfixture::scramble(gpsfixture::textRecord(7, 8, 9, kGga), key)}};
    put(dir, "text_records.mp4", video(text));

    gpsfixture::VideoSpec binary;
    binary.samples = {
        {gpsfixture::headerRecord(header())},
        {gpsfixture::scramble(gpsfixture::binaryRecord(5, 100, -200, 300, kRmc), key)}};
    put(dir, "header_binary.mp4", video(binary));

    gpsfixture::VideoSpec wide = text;
    wide.co64 = true;
    wide.moovFirst = false;
    wide.largeMdat = true;
    wide.beforeMoov = gpsfixture::largeBox("free", Bytes(8, 0));
    put(dir, "co64_large_sizes.mp4", video(wide));

    gpsfixture::VideoSpec udat;
    udat.trackCount = 2;
    udat.udatBody = gpsfixture::binaryRecord(1, 1, 2, 3, kRmc);
    put(dir, "udat.mp4", video(udat));
}

void pictureSeeds(const fs::path& dir) {
    gpsfixture::HeaderFields f = header();
    f.marker = false;
    f.position = "N22.535390,;,E113.208699";
    put(dir, "trailer.jpg", gpsfixture::picture(gpsfixture::headerRecord(f), 16));
    f.position = "N22.535390 E113.208699";
    put(dir, "no_separator.jpg", gpsfixture::picture(gpsfixture::headerRecord(f), 16));
}

void sentenceSeeds(const fs::path& dir) {
    const std::vector<std::string> sentences = {
        kRmc,
        kGga,
        "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A",
        "$GPRMC,123519,A,2232.1234,N,11356.1234,E,000.0,,230394,,*6A",
        "$GPRMC,123519,V,,,,,,,230394,,*6A",
        "A100\t-200\t1000\t$GPRMC,123519,A,2232.1234,N,11356.12345,W,022.4,084.4,230394,,",
    };
    for (size_t i = 0; i < sentences.size(); ++i) {
        put(dir, "sentence" + std::to_string(i), Bytes(sentences[i].begin(), sentences[i].end()));
    }
    put(dir, "binary_record", gpsfixture::binaryRecord(9, 1, 2, 3, kRmc));
}

// Emulated-drive frames, laid out by hand (little-endian).
void putU32(Bytes& out, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(value >> (8 * i)));
}

Bytes requestFrame(uint8_t op, uint8_t direction, uint16_t subCommand, const Bytes& dataOut,
                   uint32_t length) {
    Bytes frame = {'D',
                   'V',
                   'X',
                   'Q',
                   op,
                   direction,
                   16,
                   0,
                   0xB8,
                   0,
                   uint8_t(subCommand),
                   uint8_t(subCommand >> 8)};
    frame.resize(24, 0);
    putU32(frame, 1000);
    putU32(frame, length);
    frame.insert(frame.end(), dataOut.begin(), dataOut.end());
    return frame;
}

Bytes replyFrame(uint8_t ok, uint8_t status, const Bytes& data) {
    Bytes frame = {'D', 'V', 'X', 'R', ok, status, 0, 0};
    putU32(frame, ok ? 0 : 0x1F);
    putU32(frame, uint32_t(data.size()));
    frame.insert(frame.end(), data.begin(), data.end());
    return frame;
}

void driveSeeds(const fs::path& requests, const fs::path& replies) {
    // A client's session: description, serial, a settings write, the size query, a capacity read.
    Bytes session = requestFrame(1, 0, 0xF103, {}, 32);
    const Bytes more[] = {requestFrame(1, 0, 0xF20F, {}, 32),
                          requestFrame(1, 1, 0xF207, Bytes(20, 1), 20),
                          requestFrame(2, 0, 0, {}, 8)};
    for (const Bytes& frame : more)
        session.insert(session.end(), frame.begin(), frame.end());
    Bytes capacity = requestFrame(1, 0, 0, {}, 8);
    capacity[8] = 0x25;
    capacity[10] = capacity[11] = 0;
    session.insert(session.end(), capacity.begin(), capacity.end());
    put(requests, "session", session);

    // Two reads of 8 bytes (plan words 16 = data in, length 8) answered well, then a failure.
    Bytes answers = {1, 16, 0, 16, 0};
    for (const Bytes& frame : {replyFrame(1, 0, Bytes(8, 7)), replyFrame(0, 2, Bytes(4, 9))})
        answers.insert(answers.end(), frame.begin(), frame.end());
    put(replies, "answers", answers);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds DIR\n");
        return 2;
    }
    try {
        const fs::path root = argv[1];
        videoSeeds(root / "fuzz_video_walk");
        pictureSeeds(root / "fuzz_jpeg_trailer");
        sentenceSeeds(root / "fuzz_sentence");
        driveSeeds(root / "fuzz_camsim_requests", root / "fuzz_drive_reply");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_seeds: %s\n", e.what());
        return 1;
    }
    return 0;
}
