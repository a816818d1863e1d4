// dalvex metrics against three emulated cameras of different models and an archive with finished,
// unfinished and hostile offload folders: promtool accepts the output without a lint complaint,
// every sample holds its value (and unanswered reads are left out), and --textfile puts the file
// in place whole.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>

#include "run_cli.h"
#include "support/emulated_cameras.h"

namespace {

namespace fs = std::filesystem;
constexpr const char* kPassword = "246810";
constexpr const char* kSerial = "BWC0042";
const std::string kHostileSerial = "F\"7\\x\ny";

using clitest::readFile;
using clitest::writeFile;

// The samples of an exposition by series (name and labels as written) to value.
std::map<std::string, std::string> samples(const std::string& text) {
    std::map<std::string, std::string> out;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("#"))
            continue;
        const size_t space = line.rfind(' ');
        EXPECT_NE(space, std::string::npos) << line;
        if (space != std::string::npos)
            out[line.substr(0, space)] = line.substr(space + 1);
    }
    return out;
}

class Metrics : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/dalvex-metrics-XXXXXX";
        dir_ = mkdtemp(pattern);
        archive_ = dir_ + "/archive";
        camsim::CameraState e;
        e.modelCode = 33;  // counts its card in GB
        e.serial = kSerial;
        e.firmware = "FW_2.1";
        e.loginPassword = kPassword;
        e.cardCapacityMiB = 65536;
        e.freeSpaceMiB = 1024;
        drives_.add('E', e);
        camsim::CameraState f;
        f.modelCode = 16;  // counts its card in MB
        f.serial = kHostileSerial;
        f.battery = 40;
        f.cardCapacityMiB = 8192;
        f.freeSpaceMiB = 1000;
        drives_.add('F', f);
        camsim::CameraState g;
        g.modelCode = 48;
        g.serial = "RK-9";
        g.massStorage = true;
        drives_.add('G', g);
    }
    void TearDown() override { fs::remove_all(dir_); }

    clitest::Result dalvex(std::vector<std::string> args) {
        return clitest::run(args,
                            {{"DALVEX_PASSWORD", kPassword}, {"XDG_STATE_HOME", dir_ + "/state"}});
    }

    testsupport::EmulatedDrives drives_;
    std::string dir_, archive_;
};

TEST_F(Metrics, CamerasAndArchiveAsPromtoolAcceptsThem) {
    // One complete offload of E through the tool, then what else an archive can hold.
    writeFile(dir_ + "/card/DCIM/REC0001.MP4", std::string(70000, 'v'));
    writeFile(dir_ + "/card/DCIM/PIC0001.JPG", std::string(1234, 'p'));
    const std::time_t before = std::time(nullptr);
    const clitest::Result offload =
        dalvex({"offload", "--letter", "E", "--to", archive_, "--from", dir_ + "/card"});
    ASSERT_EQ(offload.code, 0) << offload.err;
    const std::time_t after = std::time(nullptr);
    const std::string serial = archive_ + "/" + kSerial;
    writeFile(serial + "/20260101T000000Z/manifest.journal",
              "{\"tool\":\"dalvex\",\"started\":\"2026-01-01T00:00:00Z\"}\n");
    const std::string hostileManifests[] = {
        std::string(100000, '['),  // deeper than any reader's stack
        "{\"finished\":5,\"files\":\"x\"}",
        "{\"finished\":\"2026-13-45T99:00:00Z\"}",
        "not json",
    };
    for (size_t i = 0; i < std::size(hostileManifests); ++i)
        writeFile(serial + "/hostile" + std::to_string(i) + "/manifest.json", hostileManifests[i]);
    fs::create_directories(serial + "/fifo");
    ASSERT_EQ(::mkfifo((serial + "/fifo/manifest.json").c_str(), 0600), 0);
    writeFile(serial + "/huge/manifest.json", "{}");
    fs::resize_file(serial + "/huge/manifest.json", uintmax_t(64) << 20);  // sparse
    writeFile(serial + "/linked/target.json",
              "{\"finished\":\"2030-01-01T00:00:00Z\",\"files\":[{\"size\":1}]}");
    fs::create_symlink("target.json", serial + "/linked/manifest.json");
    writeFile(archive_ + "/" + kHostileSerial + "/20260101T000000Z/manifest.json",
              "{\"finished\":\"2026-01-01T00:00:00Z\","
              "\"files\":[{\"size\":-5},{\"size\":\"9\"},7,{\"size\":10},{\"size\":20}]}");
    writeFile(archive_ + "/not-a-serial", "");

    // G answers its battery, then is gone: its card's samples are left out, not written as 0.
    drives_.model('G').setHandler(0xF003, [](camsim::CameraState&, const camsim::Command&) {
        return camsim::Reply{camsim::kStatusGood, {40, 0, 0, 0}, 2000};
    });
    const clitest::Result r = dalvex({"metrics", "--archive", archive_});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    writeFile(dir_ + "/out.prom", r.out);
    FILE* promtool =
        ::popen(("promtool check metrics < '" + dir_ + "/out.prom' 2>&1").c_str(), "r");
    ASSERT_NE(promtool, nullptr);
    const std::string complaints = clitest::drain(::dup(fileno(promtool)));
    EXPECT_EQ(::pclose(promtool), 0) << complaints;
    EXPECT_EQ(complaints, "") << r.out;

    std::map<std::string, std::string> got = samples(r.out);
    const std::string last = "dalvex_offload_last_complete_timestamp_seconds{serial=\"BWC0042\"}";
    ASSERT_TRUE(got.count(last)) << r.out;
    const long long finished = std::stoll(got[last]);
    EXPECT_TRUE(finished >= before && finished <= after) << got[last];
    got.erase(last);
    const std::string e = R"({serial="BWC0042",model="33",letter="E")";
    const std::string f = R"({serial="F\"7\\x\ny",model="16",letter="F")";
    const std::string g = R"({serial="RK-9",model="RK20",letter="G")";
    const std::map<std::string, std::string> expected = {
        {"dalvex_cameras", "3"},
        {"dalvex_camera_battery_ratio" + e + "}", "0.87"},
        {"dalvex_camera_battery_ratio" + f + "}", "0.4"},
        {"dalvex_camera_battery_ratio" + g + "}", "0.4"},
        {"dalvex_camera_card_capacity_bytes" + f + "}", "8589934592"},
        {"dalvex_camera_card_free_bytes" + f + "}", "1048576000"},
        {"dalvex_camera_card_capacity_bytes" + e + "}", "68719476736"},
        {"dalvex_camera_card_free_bytes" + e + "}", "1073741824"},
        {"dalvex_camera_storage_exposed" + e + "}", "0"},
        {"dalvex_camera_storage_exposed" + f + "}", "0"},
        {"dalvex_camera_storage_exposed" + g + "}", "1"},
        {"dalvex_camera_firmware_info" + e + R"(,firmware="FW_2.1"})", "1"},
        {"dalvex_camera_firmware_info" + f + R"(,firmware="EMU_FW_1.0.0"})", "1"},
        {"dalvex_camera_firmware_info" + g + R"(,firmware="EMU_FW_1.0.0"})", "1"},
        {R"(dalvex_offload_last_complete_bytes{serial="BWC0042"})", "71234"},
        // the journal, four unreadable manifests, a FIFO, an oversized one and a link
        {R"(dalvex_offload_failed{serial="BWC0042"})", "8"},
        {R"(dalvex_offload_last_complete_timestamp_seconds{serial="F\"7\\x\ny"})", "1767225600"},
        {R"(dalvex_offload_last_complete_bytes{serial="F\"7\\x\ny"})", "30"},
        {R"(dalvex_offload_failed{serial="F\"7\\x\ny"})", "0"},
    };
    EXPECT_EQ(got, expected) << r.out;
}

TEST_F(Metrics, TextfileIsReplacedWholeReadableByTheCollectorAndNeverThroughALink) {
    const std::string folder = dir_ + "/node-exporter";
    const std::string prom = folder + "/dalvex.prom";
    writeFile(prom, "old");
    ::chmod(prom.c_str(), 0600);
    const clitest::Result printed = dalvex({"metrics"});
    const clitest::Result written = dalvex({"metrics", "--textfile", prom});
    ASSERT_EQ(written.code, 0) << written.err;
    EXPECT_EQ(written.out, "");
    EXPECT_EQ(readFile(prom), printed.out);
    struct stat info {};
    ASSERT_EQ(::stat(prom.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0644u);

    fs::remove(prom);
    writeFile(dir_ + "/elsewhere", "kept");
    fs::create_symlink(dir_ + "/elsewhere", prom);
    const clitest::Result linked = dalvex({"metrics", "--textfile", prom});
    EXPECT_EQ(linked.code, 1);
    EXPECT_NE(linked.err.find("not a regular file"), std::string::npos) << linked.err;
    EXPECT_EQ(readFile(dir_ + "/elsewhere"), "kept");
    // No temporary is left for the collector to find.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 1);

    EXPECT_EQ(dalvex({"metrics", "--archive", dir_ + "/elsewhere"}).code, 2);
}

}  // namespace
