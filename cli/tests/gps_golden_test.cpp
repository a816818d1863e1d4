// dalvex gps against digests of what the tool wrote before its renderers became streamed sinks:
// every format, one file at a time, --merge and --out-dir, over generated videos and pictures.
// The temporary folder's name is masked, so the digests do not depend on where the test runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "gps/mp4_fixture.h"
#include "gps/test_files.h"
#include "run_cli.h"

namespace {

namespace fx = gpsfixture;

fx::Bytes textSample(int i, const std::string& sentence, const std::string& digits) {
    return fx::scramble(fx::textRecord(i, -i, 1000, sentence), fx::keyOf(digits));
}

void writeSentences(const std::string& path, const std::vector<std::string>& sentences) {
    fx::VideoSpec v;
    v.samples.push_back({fx::keyRecord("12345678")});
    int i = 0;
    for (const std::string& s : sentences)
        v.samples.push_back({textSample(i++, s, "12345678")});
    fx::writeLayout(path, fx::layoutVideo(v));
}

// The media: tracks of several lengths with points without a fix, a video of binary records
// after a header, two pictures, and a hostile file name with impossible dates.
void writeMedia(const gpstest::TempDir& dir) {
    std::filesystem::create_directories(dir.file("media/day2"));
    for (int seed = 0; seed < 3; ++seed) {
        std::vector<std::string> sentences;
        for (int i = 0; i < 4 + 9 * seed; ++i) {
            char s[128];
            std::snprintf(s, sizeof s,
                          "$GPRMC,%06d,%c,%04d.%04d,N,%05d.%05d,W,0%02d.4,084.4,230326,,*6A",
                          120000 + i, i % 3 == 2 ? 'V' : 'A', 2200 + seed, 1000 + 7 * i,
                          11300 + seed, 2000 + 11 * i, i % 50);
            sentences.push_back(s);
        }
        writeSentences(dir.file("media/v" + std::to_string(seed) + ".mp4"), sentences);
    }
    fx::HeaderFields h;
    h.keyDigits = "31415926";
    h.serverNumber = "SRV42";
    h.fileType = 7;
    h.position = "N22.53:E113.93";
    fx::VideoSpec v;
    v.samples.push_back({fx::headerRecord(h)});
    for (int i = 0; i < 3; ++i)
        v.samples.push_back(
            {fx::scramble(fx::binaryRecord(uint8_t(i + 1), i, 2 * i, 3 * i, gpstest::kRmc),
                          fx::keyOf(h.keyDigits))});
    fx::writeLayout(dir.file("media/day2/header.MP4"), fx::layoutVideo(v));
    for (int seed = 0; seed < 2; ++seed) {
        fx::HeaderFields p;
        p.position = "N4" + std::to_string(seed) + ".12345;?E01" + std::to_string(seed) + ".54321";
        fx::writeBytes(dir.file("media/day2/p" + std::to_string(seed) + ".jpg"),
                       fx::picture(fx::headerRecord(p)));
    }
    writeSentences(dir.file("media/day2/odd\x01 \xff<&>.mp4"),
                   {"$GPRMC,120000,A,2230.1000,N,11356.2000,E,010.4,084.4,310226,,*6A",
                    "$GPRMC,235960,A,2230.1001,N,11356.2001,E,010.4,084.4,300426,,*6A",
                    "$GPRMC,120002,A,2230.1002,N,11356.2002,E,010.4,084.4,290224,,*6A"});
}

uint64_t fnv1a(const std::string& text, uint64_t hash = 14695981039346656037ULL) {
    for (unsigned char c : text)
        hash = (hash ^ c) * 1099511628211ULL;
    return hash;
}

// A table key: the input's name with bytes outside printable ASCII as '?'.
std::string keyOf(std::string text) {
    for (char& c : text)
        c = c >= 0x20 && c < 0x7F ? c : '?';
    return text;
}

std::string masked(std::string text, const std::string& root) {
    for (size_t at = 0; (at = text.find(root, at)) != std::string::npos;)
        text.replace(at, root.size(), "@");
    return text;
}

// Digests recorded from the tool before its writers became streamed sinks. The entries marked
// changed differ only by mended faults: every CSV has CRLF line ends, and the odd name's control
// and invalid bytes become U+FFFD; header.MP4's header point (113.93 E) and its sentences
// (113.94 W) cross the antimeridian, so its GeoJSON line is cut into a MultiLineString.
const std::map<std::string, uint64_t> kGolden = {
    {"csv --merge", 0xd3f83908608bc343ULL},                     // changed
    {"csv --out-dir", 0x17cb864cac6dc282ULL},                   // changed
    {"csv @media/day2/header.MP4", 0x0d635e02ca3730b2ULL},      // changed
    {"csv @media/day2/odd? ?<&>.mp4", 0x5613b683c783d9c3ULL},   // changed
    {"csv @media/day2/p0.jpg", 0x79618968f980c71aULL},          // changed
    {"csv @media/day2/p1.jpg", 0x87ff9ba4d266350aULL},          // changed
    {"csv @media/v0.mp4", 0x6d2f6e284940a0faULL},               // changed
    {"csv @media/v1.mp4", 0x98e9775056ab67b2ULL},               // changed
    {"csv @media/v2.mp4", 0x175280c895c2f0c8ULL},               // changed
    {"geojson --merge", 0x62724cddc49aa669ULL},                 // changed
    {"geojson --out-dir", 0x866b70624507a410ULL},               // changed
    {"geojson @media/day2/header.MP4", 0x47aa2da4c9edc38dULL},  // changed
    {"geojson @media/day2/odd? ?<&>.mp4", 0xde4a5c526f936579ULL},
    {"geojson @media/day2/p0.jpg", 0xf0c96bc118d7166eULL},
    {"geojson @media/day2/p1.jpg", 0xec9d3d8a5e2d25cbULL},
    {"geojson @media/v0.mp4", 0x680e0da457ee4938ULL},
    {"geojson @media/v1.mp4", 0x5057bba2d8832a79ULL},
    {"geojson @media/v2.mp4", 0xec21562a26857fafULL},
    {"gpx --merge", 0xd062d9120c65db99ULL},
    {"gpx --out-dir", 0x58befb967c61c3d0ULL},
    {"gpx @media/day2/header.MP4", 0xbbfc1608c7649e5bULL},
    {"gpx @media/day2/odd? ?<&>.mp4", 0x255dcc463fb308eeULL},
    {"gpx @media/day2/p0.jpg", 0x87131403b61cc29fULL},
    {"gpx @media/day2/p1.jpg", 0xcc01d24c6bbd9e7eULL},
    {"gpx @media/v0.mp4", 0x9e7adabccf906c0dULL},
    {"gpx @media/v1.mp4", 0xc7798faffabe8eb8ULL},
    {"gpx @media/v2.mp4", 0x7a68f79ae293bf4cULL},
    {"json --merge", 0xde157ea8b486f643ULL},
    {"json --out-dir", 0x196eb99500e2d29cULL},
    {"json @media/day2/header.MP4", 0xaff2165686b5ed03ULL},
    {"json @media/day2/odd? ?<&>.mp4", 0x4ba1f71b7279908bULL},
    {"json @media/day2/p0.jpg", 0xcd7929e17ed5a064ULL},
    {"json @media/day2/p1.jpg", 0x0bbd1b930298200cULL},
    {"json @media/v0.mp4", 0xce40367764eb49d1ULL},
    {"json @media/v1.mp4", 0x91917f7de1b2b32cULL},
    {"json @media/v2.mp4", 0xfe99a7393ebb6156ULL},
    {"kml --merge", 0x2610bdcc392e7e2cULL},
    {"kml --out-dir", 0xbae64e0b86f400a3ULL},
    {"kml @media/day2/header.MP4", 0x7f129d34ffbd0d3cULL},
    {"kml @media/day2/odd? ?<&>.mp4", 0x49708106f883fa1bULL},
    {"kml @media/day2/p0.jpg", 0x643aa9d730bf574eULL},
    {"kml @media/day2/p1.jpg", 0xc54551521a3d2f63ULL},
    {"kml @media/v0.mp4", 0x54ade560650b18eeULL},
    {"kml @media/v1.mp4", 0x34377ce8fe8848dbULL},
    {"kml @media/v2.mp4", 0x92104371cfca332bULL},
    {"text --merge", 0x7deab406d1978e9aULL},
    {"text --out-dir", 0x0ba0c5d6d521ed4cULL},
    {"text @media/day2/header.MP4", 0xd7735e58f397ffbfULL},
    {"text @media/day2/odd? ?<&>.mp4", 0x6a96d6e97327d4fcULL},
    {"text @media/day2/p0.jpg", 0xdc9eba0f279aacb6ULL},
    {"text @media/day2/p1.jpg", 0xeb8fe3bc1d7682a6ULL},
    {"text @media/v0.mp4", 0xf01b835449cbca1dULL},
    {"text @media/v1.mp4", 0x0b4879e9f8f27097ULL},
    {"text @media/v2.mp4", 0x50bdb5e404d4f097ULL},
};

TEST(GpsGolden, EveryFormatAndModeWritesTheRecordedBytes) {
    gpstest::TempDir dir;
    writeMedia(dir);
    const std::string root = dir.file("");
    std::vector<std::string> inputs;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir.file("media")))
        if (e.is_regular_file())
            inputs.push_back(e.path().string());
    std::sort(inputs.begin(), inputs.end());
    std::map<std::string, uint64_t> seen;
    auto record = [&](const std::string& key, const clitest::Result& r, const std::string& text) {
        const std::string all = masked(std::to_string(r.code) + "\n" + r.err + "\n" + text, root);
        seen[key] = fnv1a(all);
        // DALVEX_GOLDEN_PRINT=folder keeps the texts there for a diff.
        const char* keep = std::getenv("DALVEX_GOLDEN_PRINT");
        if (keep != nullptr && std::filesystem::is_directory(keep)) {
            std::string name = key;
            std::replace(name.begin(), name.end(), '/', '_');
            std::ofstream(std::string(keep) + "/" + name, std::ios::binary) << all;
        }
    };
    for (const char* format : {"text", "json", "gpx", "kml", "csv", "geojson"}) {
        for (const std::string& input : inputs) {
            const clitest::Result r = clitest::run({"gps", input, "--format", format});
            record(std::string(format) + " " + keyOf(masked(input, root)), r, r.out);
        }
        const clitest::Result merged =
            clitest::run({"gps", dir.file("media"), "--merge", "--format", format});
        record(std::string(format) + " --merge", merged, merged.out);
        const std::string out = dir.file(std::string("out-") + format);
        const clitest::Result each =
            clitest::run({"gps", dir.file("media"), "--out-dir", out, "--format", format});
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(out))
            names.push_back(e.path().string());
        std::sort(names.begin(), names.end());
        std::string all;
        for (const std::string& n : names)
            all += n + "\n" + gpstest::readFile(n);
        record(std::string(format) + " --out-dir", each, all);
    }
    if (std::getenv("DALVEX_GOLDEN_PRINT") != nullptr) {
        for (const auto& [key, hash] : seen)
            std::printf("    {\"%s\", 0x%016llxULL},\n", key.c_str(), (unsigned long long)hash);
    }
    EXPECT_EQ(seen.size(), kGolden.size());
    for (const auto& [key, hash] : seen) {
        const auto it = kGolden.find(key);
        EXPECT_TRUE(it != kGolden.end() && it->second == hash) << key;
    }
}

}  // namespace
