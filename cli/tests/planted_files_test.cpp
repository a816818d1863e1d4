// Files the tool writes, in folders another user controls: links planted at the names it would
// write, a FIFO as the audit log. Nothing may be written through them, and nothing may hang.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "gps/mp4_fixture.h"
#include "gps/test_files.h"
#include "run_cli.h"
#include "support/emulated_cameras.h"

namespace {

namespace fs = std::filesystem;
constexpr uid_t kOtherUser = 65534;  // nobody

TEST(PlantedFiles, NothingIsWrittenThroughAnotherUsersFolderOrALink) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give a folder to another user";
    gpstest::TempDir dir;
    testsupport::EmulatedDrives drives;
    camsim::CameraModel& camera = drives.add('E');
    const std::string video = dir.file("REC0001.MP4");
    gpsfixture::VideoSpec plan;
    plan.samples.push_back({gpsfixture::keyRecord("00000000")});
    plan.samples.push_back({gpsfixture::textRecord(0, 0, 0, gpstest::kRmc)});
    gpsfixture::writeLayout(video, gpsfixture::layoutVideo(plan));
    const std::string victim = dir.file("victim");
    std::ofstream(victim) << "victim\n";

    // The other user's folder, holding links to the victim under the names the tool would use.
    const std::string theirs = dir.file("theirs");
    fs::create_directory(theirs);
    for (const char* name : {"REC0001.MP4.gpx", "out.gpx", "audit.log"})
        fs::create_symlink(victim, theirs + "/" + name);
    ASSERT_EQ(::chown(theirs.c_str(), kOtherUser, kOtherUser), 0);
    // A link and a FIFO in a folder of our own.
    const std::string mine = dir.file("mine");
    fs::create_directory(mine);
    fs::create_symlink(victim, mine + "/audit.log");
    ASSERT_EQ(::mkfifo((mine + "/fifo.log").c_str(), 0600), 0);
    // A sticky folder open to all, as /tmp: a new file of our own there is fine; the other
    // user's link there to a folder of ours, and their audit log, are not.
    const std::string sticky = dir.file("sticky");
    fs::create_directory(sticky);
    ASSERT_EQ(::chmod(sticky.c_str(), 01777), 0);
    fs::create_directory_symlink(mine, sticky + "/tracks");
    ASSERT_EQ(::lchown((sticky + "/tracks").c_str(), kOtherUser, kOtherUser), 0);
    std::ofstream(sticky + "/their-audit.log") << "";
    ASSERT_EQ(::chown((sticky + "/their-audit.log").c_str(), kOtherUser, kOtherUser), 0);
    // In their own folder, a link to one of ours; in ours, a second name of the victim.
    fs::create_directory_symlink(mine, theirs + "/out");
    fs::create_hard_link(victim, mine + "/hard.log");
    // A private track replaced stays private.
    std::ofstream(mine + "/private.gpx") << "old";
    ASSERT_EQ(::chmod((mine + "/private.gpx").c_str(), 0600), 0);

    const struct {
        std::vector<std::string> args;
        int code;
        const char* says;
    } cases[] = {
        {{"gps", video, "--format", "gpx", "-o", theirs + "/new.gpx"}, 1, "another user"},
        {{"gps", video, "--format", "gpx", "--out-dir", theirs}, 1, "another user"},
        {{"time", "sync", "--audit", theirs + "/audit.log"}, 1, "another user"},
        {{"time", "sync", "--audit", mine + "/audit.log"}, 1, "symbolic link"},
        {{"time", "sync", "--audit", mine + "/fifo.log"}, 1, "not a regular file"},
        {{"gps", video, "--format", "gpx", "-o", sticky + "/new.gpx"}, 0, ""},
        {{"gps", video, "--format", "gpx", "-o", sticky + "/tracks/x.gpx"}, 1, "another user"},
        {{"gps", video, "--format", "gpx", "-o", theirs + "/out/x.gpx"}, 1, "another user"},
        {{"time", "sync", "--audit", sticky + "/their-audit.log"}, 1, "another user"},
        {{"time", "sync", "--audit", mine + "/hard.log"}, 1, "other names"},
        {{"gps", video, "--format", "gpx", "-o", mine + "/private.gpx"}, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        const clitest::Result r = clitest::run(c.args, {{"DALVEX_PASSWORD", "000000"}});
        EXPECT_EQ(r.code, c.code) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(gpstest::readFile(victim), "victim\n");
    }
    EXPECT_FALSE(fs::exists(theirs + "/new.gpx"));
    EXPECT_FALSE(camera.snapshot().clockSet);
    EXPECT_TRUE(fs::is_regular_file(sticky + "/new.gpx"));
    EXPECT_FALSE(fs::exists(mine + "/x.gpx"));
    EXPECT_EQ(fs::status(mine + "/private.gpx").permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
}

}  // namespace
