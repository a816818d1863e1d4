// The four exports as another program calls them, on files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "dalvex.h"
#include "gps/gps_output.h"
#include "gps/gps_parser.h"
#include "mp4_fixture.h"
#include "support/portable.h"
#include "test_files.h"

namespace gps = dalvex::gps;
using gpsfixture::Bytes;

namespace {

const std::string kRmcLine = gpstest::kRmcLineTail;

gpsfixture::HeaderFields trailerFields(uint8_t fileType = 7) {
    gpsfixture::HeaderFields f;
    f.marker = false;
    f.fileType = fileType;
    f.serverNumber = "JPGSRV";
    f.position = "N22.535390,;,E113.208699";
    f.gsensor[0] = -250;
    return f;
}

const char* const kTrailerLine =
    "-0.250000 0.000000 0.000000 +113.208699 +22.535390 0 0.000000 0\r\n";

Bytes headerVideo(const std::string& serverNumber, uint8_t fileType) {
    gpsfixture::HeaderFields f;
    f.keyDigits = "00000003";  // key 6
    f.serverNumber = serverNumber;
    f.fileType = fileType;
    f.position = "S1.5,:W2.5";
    gpsfixture::VideoSpec plan;
    plan.samples = {{gpsfixture::headerRecord(f)},
                    {gpsfixture::scramble(gpsfixture::binaryRecord(3, 0, 0, 0, gpstest::kRmc), 6)}};
    return gpsfixture::toBytes(gpsfixture::layoutVideo(plan));
}

class GpsExports : public testing::Test {
  protected:
    std::string write(const std::string& name, const Bytes& bytes) {
        const std::string path = dir_.file(name);
        gpsfixture::writeBytes(path, bytes);
        return path;
    }
    std::string out(const std::string& name = "track.txt") { return dir_.file(name); }

    gpstest::TempDir dir_;
};

TEST_F(GpsExports, TextLinesOfAVideo) {
    const std::string video = write("clip.mp4", headerVideo("SRV01", 68));
    EXPECT_EQ(TKUSB_ParseVideoFile(video.c_str(), out().c_str()), 68);
    EXPECT_EQ(gpstest::readFile(out()),
              "head:0.000000 0.000000 0.000000 -2.5 -1.5 0 0.000000 0 68\r\n"
              "0.000000 0.000000 0.000000 " +
                  kRmcLine + " 3\r\n");
}

TEST_F(GpsExports, JsonDocumentOfAVideo) {
    const std::string video = write("clip.mp4", headerVideo("SRV01", 4));
    EXPECT_EQ(TKUSB_ParseVideoFileToJson(video.c_str(), out("t.json").c_str()), 4);
    const std::string document = gpstest::readFile(out("t.json"));
    EXPECT_EQ(document.substr(0, 39), "{\n   \"file_type\" : 4,\n   \"gps_data\" : [");
    EXPECT_NE(document.find("\"gps_lat\" : \"-2.5\""), std::string::npos);
    EXPECT_NE(document.find("\"gps_number\" : 2\n}\n"), std::string::npos);
    EXPECT_EQ(document.find("head:"), std::string::npos);
}

TEST_F(GpsExports, PictureTrailer) {
    const std::string picture =
        write("shot.JPG", gpsfixture::picture(gpsfixture::headerRecord(trailerFields())));
    EXPECT_EQ(TKUSB_ParseVideoFile(picture.c_str(), out().c_str()), 7);
    EXPECT_EQ(gpstest::readFile(out()), kTrailerLine);
    char number[9] = {};
    EXPECT_EQ(TKUSB_GetServerNumber(number), 6);
    EXPECT_STREQ(number, "JPGSRV");
}

TEST_F(GpsExports, PictureOrVideoIsDecidedByTheLastThreeCharacters) {
    const Bytes picture = gpsfixture::picture(gpsfixture::headerRecord(trailerFields()));
    struct Case {
        std::string name;
        bool picture;
    };
    for (const Case& c : {Case{"a.JPG", true}, Case{"a.jpg", true}, Case{"shotjPg", true},
                          Case{"a.jpeg", false}, Case{"a.png", false}, Case{"a.jpg.mp4", false}}) {
        const std::string path = write(c.name, picture);
        TKUSB_ParseVideoFile(path.c_str(), out().c_str());
        EXPECT_EQ(gpstest::readFile(out()), c.picture ? kTrailerLine : "") << c.name;
    }
}

TEST_F(GpsExports, TwoCharacterPathIsAVideo) {
    write("pg", gpsfixture::picture(gpsfixture::headerRecord(trailerFields())));
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(std::filesystem::path(out()).parent_path());
    TKUSB_ParseVideoFile("pg", "o.txt");
    const std::string written = gpstest::readFile("o.txt");
    std::filesystem::current_path(previous);
    EXPECT_EQ(written, "");
}

TEST_F(GpsExports, ShortPictureOrTrailerWithoutSemicolonGivesNoPoint) {
    const std::string good =
        write("good.jpg", gpsfixture::picture(gpsfixture::headerRecord(trailerFields(9))));
    EXPECT_EQ(TKUSB_ParseVideoFile(good.c_str(), out().c_str()), 9);

    Bytes tiny = gpsfixture::picture(gpsfixture::headerRecord(trailerFields(9)));
    tiny.erase(tiny.begin(), tiny.begin() + static_cast<long>(tiny.size() - 127));
    ASSERT_EQ(tiny.size(), 127U);
    const std::string small = write("small.jpg", tiny);
    EXPECT_EQ(TKUSB_ParseVideoFile(small.c_str(), out().c_str()), 0);  // header cleared
    EXPECT_EQ(gpstest::readFile(out()), "");

    gpsfixture::HeaderFields noSemicolon = trailerFields(9);
    noSemicolon.position = "N22.535390,:,E113.208699";
    const std::string bare =
        write("bare.jpg", gpsfixture::picture(gpsfixture::headerRecord(noSemicolon)));
    EXPECT_EQ(TKUSB_ParseVideoFileToJson(bare.c_str(), out().c_str()), 9);
    EXPECT_EQ(gpstest::readFile(out()), gps::formatDocument({}, 9));
}

TEST_F(GpsExports, ServerNumberOfEightCharactersHasNoTerminator) {
    const std::string video = write("clip.mp4", headerVideo("12345678", 1));
    TKUSB_ParseVideoFile(video.c_str(), nullptr);
    char number[12];
    std::memset(number, 'Z', sizeof number);
    EXPECT_EQ(TKUSB_GetServerNumber(number), 8);
    EXPECT_EQ(std::string(number, 12), "12345678ZZZZ");
    char zeroed[9] = {};
    EXPECT_EQ(TKUSB_GetServerNumber(zeroed), 8);
    EXPECT_STREQ(zeroed, "12345678");

    const std::string shorter = write("clip2.mp4", headerVideo("AB", 1));
    TKUSB_ParseVideoFile(shorter.c_str(), nullptr);
    std::memset(number, 'Z', sizeof number);
    EXPECT_EQ(TKUSB_GetServerNumber(number), 2);
    EXPECT_EQ(std::string(number, 4), std::string("AB\0Z", 4));
    EXPECT_EQ(TKUSB_GetServerNumber(nullptr), 0);
}

TEST_F(GpsExports, NullOrUnreadableMedia) {
    const std::string video = write("clip.mp4", headerVideo("S", 5));
    EXPECT_EQ(TKUSB_ParseVideoFile(video.c_str(), nullptr), 5);
    EXPECT_EQ(TKUSB_ParseVideoFile(nullptr, out().c_str()), 0);
    EXPECT_TRUE(std::filesystem::exists(out()));
    // A missing video leaves the held header in place; a missing picture clears it.
    EXPECT_EQ(TKUSB_ParseVideoFile(dir_.file("missing.mp4").c_str(), out().c_str()), 5);
    EXPECT_EQ(TKUSB_ParseVideoFileToJson(dir_.file("missing.mp4").c_str(), out().c_str()), 5);
    EXPECT_EQ(TKUSB_ParseVideoFile(dir_.file("missing.jpg").c_str(), out().c_str()), 0);
    EXPECT_EQ(gpstest::readFile(out()), "");
}

// A FIFO opens at once and reads as an empty file instead of waiting for a writer.
TEST_F(GpsExports, FifoAsMediaDoesNotWaitForAWriter) {
    const std::string fifo = dir_.file("clip.mp4");
    if (!testsupport::makeFifo(fifo))
        GTEST_SKIP() << "no FIFOs in this file system";
    auto parse = std::async(std::launch::async, [&] {
        return TKUSB_ParseVideoFileToJson(fifo.c_str(), out().c_str());
    });
    if (parse.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        testsupport::releaseFifo(fifo);
        FAIL() << "the parse waited for a writer";
    }
    parse.get();
    EXPECT_NE(gpstest::readFile(out()).find("\"gps_number\" : 0"), std::string::npos);
}

TEST_F(GpsExports, SetOutGpsFileOnlyPreparesAnOutput) {
    EXPECT_EQ(TKUSB_SetOutGpSFile(out("prepared.txt").c_str()), 0);
    EXPECT_TRUE(std::filesystem::exists(out("prepared.txt")));
    EXPECT_EQ(TKUSB_SetOutGpSFile(nullptr), 0);
    EXPECT_EQ(TKUSB_SetOutGpSFile(out("prepared.txt").c_str()), 0);
    const std::string video = write("clip.mp4", headerVideo("S", 5));
    TKUSB_ParseVideoFile(video.c_str(), out("own.txt").c_str());
    EXPECT_EQ(gpstest::readFile(out("prepared.txt")), "");
    EXPECT_FALSE(gpstest::readFile(out("own.txt")).empty());
}

// The fallback scan reopens the path; a path longer than any fixed buffer still works.
TEST_F(GpsExports, UdatFallbackOnAVeryLongPath) {
    std::filesystem::path deep = std::filesystem::path(out()).parent_path();
    for (int i = 0; i < 8; ++i) {
        deep /= std::string(60, static_cast<char>('a' + i));
    }
    std::filesystem::create_directories(deep);
    const std::string path = (deep / "clip.mp4").string();
    ASSERT_GT(path.size(), 480U);
    gpsfixture::VideoSpec plan;
    plan.trackCount = 2;
    plan.udatBody = gpsfixture::binaryRecord(1, 0, 0, 0, gpstest::kRmc);
    gpsfixture::writeBytes(path, gpsfixture::toBytes(gpsfixture::layoutVideo(plan)));
    TKUSB_ParseVideoFile(path.c_str(), out().c_str());
    EXPECT_EQ(gpstest::readFile(out()), "0.000000 0.000000 0.000000 " + kRmcLine + " 1\r\n");
}

// Each parser owns its track, header and output, so parses may run side by side.
TEST(GpsParserInstances, ParseIndependentlyOnThreads) {
    gpstest::TempDir dir;
    std::vector<std::string> videos;
    for (int t = 0; t < 4; ++t) {
        gpsfixture::VideoSpec plan;
        plan.samples.push_back({gpsfixture::keyRecord("00000000")});
        for (int i = 0; i <= t * 50; ++i) {
            plan.samples.push_back({gpsfixture::textRecord(t, i, 0, gpstest::kRmc)});
        }
        videos.push_back(dir.file("v" + std::to_string(t) + ".mp4"));
        gpsfixture::writeLayout(videos.back(), gpsfixture::layoutVideo(plan));
    }
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            // Stored as the library stores it: a 32-bit x87 build would otherwise compare its
            // wider intermediate with the rounded float and find them unequal.
            const volatile float gsensor = gps::gsensorValue(t);
            gps::GpsParser parser;
            gps::GpsFileOutput output;
            parser.setSink(&output);
            for (int round = 0; round < 20; ++round) {
                const std::string out = dir.file("o" + std::to_string(t) + ".txt");
                output.open(out.c_str(), false);
                parser.parse(videos[t].c_str());
                const std::string text = gpstest::readFile(out);
                const size_t lines =
                    static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
                if (parser.points().size() != size_t(t * 50 + 1) ||
                    lines != parser.points().size() ||
                    parser.points().back().gsensor_x != gsensor) {
                    ++failures[t];
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures, std::vector<int>(4, 0));
}

}  // namespace
