// dalvex offload and verify against an emulated camera and a card folder: the archive checks with
// coreutils alone, the camera hears copy-finished only after a complete offload, reruns and
// formatted cameras, and the faults that must leave the camera untold.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <thread>

#include "gps/mp4_fixture.h"
#include "run_cli.h"
#include "support/emulated_cameras.h"

namespace {

namespace fs = std::filesystem;
constexpr const char* kPassword = "246810";
constexpr const char* kSerial = "BWC0042";

using clitest::readFile;
using clitest::writeFile;

Json::Value readJson(const fs::path& path) {
    Json::Value v;
    std::istringstream in(readFile(path));
    in >> v;
    return v;
}

class Offload : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/var/tmp/dalvex-offload-XXXXXX";  // the disk: pages can be dropped
        dir_ = mkdtemp(pattern);
        card_ = dir_ + "/card";
        archive_ = dir_ + "/archive";
        fs::create_directories(card_);
        camsim::CameraState s;
        s.modelCode = 33;
        s.serial = kSerial;
        s.loginPassword = kPassword;
        s.cardFolder = card_;  // found through the camera unless --from gives it
        model_ = &drives_.add('E', s);
    }
    void TearDown() override {
        ::umount(archive_.c_str());
        fs::remove_all(dir_);
    }

    std::vector<std::string> offloadArgs() const {
        std::vector<std::string> args = {"--json", "offload", "--to", archive_};
        if (byHand_)
            args.insert(args.end(), {"--from", card_});
        return args;
    }
    std::vector<std::pair<std::string, std::string>> env() const {
        return {{"DALVEX_PASSWORD", kPassword}, {"XDG_STATE_HOME", dir_ + "/state"}};
    }
    clitest::Result dalvex(std::vector<std::string> args) { return clitest::run(args, env()); }
    clitest::Result offload() { return dalvex(offloadArgs()); }

    // What the camera counts: the copy-finished commands it accepted.
    size_t copyFinishedCount() { return model_->snapshot().copyFinished; }
    void setCardFolder(const std::string& folder) {
        std::lock_guard<std::mutex> guard(model_->lock());
        model_->state().cardFolder = folder;
        model_->state().massStorage = false;
    }
    std::vector<std::string> offloadFolders() const {
        std::vector<std::string> folders;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(archive_ + "/" + kSerial, ec))
            folders.push_back(e.path().string());
        std::sort(folders.begin(), folders.end());
        return folders;
    }
    // Runs the tool and kills it once a copy is under way.
    void killMidFile(const std::string& partial) {
        // Everything the child needs is made before the fork: other threads run here.
        std::vector<std::string> args = offloadArgs(), environment;
        for (const auto& [name, value] : env())
            environment.push_back(name + "=" + value);
        for (char** e = environ; *e; ++e)
            environment.push_back(*e);
        std::vector<char*> argv = {const_cast<char*>(DALVEX_CLI_PATH)}, envp;
        for (std::string& a : args)
            argv.push_back(a.data());
        for (std::string& e : environment)
            envp.push_back(e.data());
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        const int devnull = ::open("/dev/null", O_WRONLY);
        const pid_t pid = fork();
        if (pid == 0) {
            dup2(devnull, 1);
            dup2(devnull, 2);
            execve(argv[0], argv.data(), envp.data());
            _exit(127);
        }
        ::close(devnull);
        EXPECT_TRUE(copyUnderWay(partial));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status)) << "the offload ended before it was killed";
    }
    // Waits until a copy of more than a mebibyte is under way at path.
    static bool copyUnderWay(const std::string& path) {
        for (int i = 0; i < 20000; ++i) {
            std::error_code ec;
            if (fs::file_size(path, ec) > (1u << 20) && !ec)
                return true;
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        return false;
    }

    // Runs the offload while a thread of its own does action once a copy is under way.
    clitest::Result offloadWhileCopying(const std::function<void()>& action) {
        std::atomic<bool> stop{false};
        std::thread watcher([&] {
            while (!stop) {
                for (const auto& f : offloadFolders()) {
                    if (copyUnderWay(f + "/.dalvex-partial")) {
                        action();
                        return;
                    }
                }
                std::this_thread::sleep_for(std::chrono::microseconds(500));
            }
        });
        clitest::Result r = offload();
        stop = true;
        watcher.join();
        return r;
    }

    testsupport::EmulatedDrives drives_;
    camsim::CameraModel* model_ = nullptr;
    std::string dir_, card_, archive_;
    bool byHand_ = true;  // --from names the card
};

TEST_F(Offload, ArchivesVerifiesTellsTheCameraOnceAndKeepsFormattedCamerasApart) {
    namespace fx = gpsfixture;
    fs::create_directories(card_ + "/DCIM/100MEDIA");
    fx::writeBytes(card_ + "/DCIM/100MEDIA/REC0001.MP4",
                   fx::repeatedSampleVideo(
                       5, "$GPRMC,120000,A,2210.1000,N,11320.2000,W,000.4,084.4,230326,,*6A"));
    const char* others[] = {"DCIM/100MEDIA/REC0002.MP4",
                            "DCIM/101MEDIA/with space.jpg",
                            "Notes/Ünïcödé.txt",
                            "odd/back\\slash",
                            "odd/new\nline",
                            "empty.dat"};
    for (const char* name : others)
        writeFile(card_ + "/" + name, std::string(*name == 'e' ? 0 : 70000, name[5]));
    // A receiver without a fix: points, but no position for a track.
    fx::writeBytes(card_ + "/DCIM/100MEDIA/REC0003.MP4",
                   fx::repeatedSampleVideo(3, "$GPRMC,120000,V,,,,,,,230326,,*34"));
    const size_t files = std::size(others) + 2;
    // Usage errors, before the camera is asked anything.
    const clitest::Result usage = dalvex({"offload", "--to", card_ + "/archive", "--from", card_});
    EXPECT_EQ(usage.code, 2);
    EXPECT_EQ(usage.err, "dalvex: --to and --from may not hold each other\n");
    EXPECT_TRUE(model_->snapshot().received.empty());

    // A card the camera does not name, or one holding the archive: the camera fails, told nothing.
    byHand_ = false;
    const struct {
        std::string cardFolder;
        const char* error;
    } unusable[] = {
        {"", "E: BWC0042: the card of BWC0042 cannot be found: give its folder with --from"},
        {dir_, "and --to may not hold each other"},
    };
    for (const auto& u : unusable) {
        setCardFolder(u.cardFolder);
        const clitest::Result r = offload();
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.err.find(u.error), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(archive_ + "/" + kSerial));
    }
    EXPECT_EQ(copyFinishedCount(), 0u);
    setCardFolder(card_);

    const clitest::Result first = offload();
    ASSERT_EQ(first.code, 0) << first.err;
    const Json::Value r = first.json()["cameras"][0];
    EXPECT_EQ(r["files_new"].asUInt(), files) << first.out;
    EXPECT_TRUE(r["copy_finished"].asBool());
    EXPECT_EQ(copyFinishedCount(), 1u);
    // One line per camera for a dock's journal.
    const std::string summary = std::string(kSerial) + ": " + std::to_string(files) + " files, " +
                                std::to_string(r["bytes"].asUInt64()) + " bytes, ok\n";
    EXPECT_GT(r["bytes"].asUInt64(), 5u * 70000);  // the empty file adds nothing
    EXPECT_NE(first.err.find(summary), std::string::npos) << first.err;
    EXPECT_EQ(first.err.find(summary), first.err.rfind(std::string(kSerial) + ": ")) << first.err;
    const std::string folder = r["offload_folder"].asString();
    EXPECT_EQ(fs::path(folder).parent_path(), fs::path(archive_) / kSerial);
    EXPECT_EQ(
        std::system(("cd '" + folder + "' && sha256sum --quiet --strict -c SHA256SUMS").c_str()),
        0);
    EXPECT_EQ(
        std::count_if(fs::recursive_directory_iterator(folder), {},
                      [](const fs::directory_entry& e) { return e.path().extension() == ".gpx"; }),
        1);
    EXPECT_NE(readFile(folder + "/DCIM/100MEDIA/REC0001.MP4.gpx").find("<trkpt lat=\"22."),
              std::string::npos);
    // The card the camera named, which has no label or UUID.
    const Json::Value head = readJson(folder + "/manifest.json");
    EXPECT_EQ(head["card_folder"].asString(), fs::canonical(card_).string());
    EXPECT_EQ(head["card"].getMemberNames(), (std::vector<std::string>{"label", "uuid"})) << head;
    EXPECT_TRUE(head["card"]["label"].isNull() && head["card"]["uuid"].isNull()) << head;
    for (const auto& e : fs::recursive_directory_iterator(archive_ + "/" + kSerial))
        EXPECT_EQ(e.status().permissions() & fs::perms::others_all, fs::perms::none) << e.path();

    // A rerun finds everything archived: no new folder, the camera told again.
    const clitest::Result again = offload();
    ASSERT_EQ(again.code, 0) << again.err;
    EXPECT_EQ(again.json()["cameras"][0]["files_new"].asUInt(), 0u);
    EXPECT_EQ(again.json()["cameras"][0]["already_archived"].asUInt(), files);
    EXPECT_EQ(offloadFolders().size(), 1u);

    // Formatted, the camera records REC0001.MP4 again: both stay.
    fs::remove_all(card_);
    writeFile(card_ + "/DCIM/100MEDIA/REC0001.MP4", "a new recording");
    const clitest::Result formatted = offload();
    ASSERT_EQ(formatted.code, 0) << formatted.err;
    ASSERT_EQ(offloadFolders().size(), 2u);
    const std::string video = "/DCIM/100MEDIA/REC0001.MP4";
    EXPECT_NE(readFile(offloadFolders()[0] + video), readFile(offloadFolders()[1] + video));
    EXPECT_EQ(dalvex({"verify", archive_}).code, 0);

    // verify names a changed, a missing and an unlisted file.
    std::ofstream(folder + "/empty.dat") << "changed";
    fs::remove(folder + "/Notes/Ünïcödé.txt");
    writeFile(folder + "/planted.txt", "x");
    fs::rename(folder + "/odd/back\\slash", dir_ + "/moved");
    fs::create_symlink(dir_ + "/moved", folder + "/odd/back\\slash");
    const clitest::Result checked = dalvex({"--json", "verify", archive_});
    EXPECT_EQ(checked.code, 1);
    const Json::Value bad = checked.json()["offloads"][0];
    EXPECT_EQ(bad["changed"][0].asString(), "empty.dat") << checked.out;
    EXPECT_EQ(bad["changed"][1].asString(), "odd/back\\slash") << "a link to the same bytes";
    EXPECT_EQ(bad["missing"][0].asString(), "Notes/Ünïcödé.txt");
    EXPECT_EQ(bad["unlisted"][0].asString(), "planted.txt");
    EXPECT_TRUE(checked.json()["offloads"][1]["ok"].asBool());
}

// After the switch the camera may answer on another letter: it is found by its serial, its card
// read there and copy-finished sent there.
TEST_F(Offload, FindsTheCameraAgainByItsSerial) {
    writeFile(card_ + "/REC0001.MP4", "a recording");
    camsim::CameraState back;
    back.serial = kSerial;
    back.loginPassword = kPassword;
    back.massStorage = true;
    back.cardFolder = card_;
    camsim::CameraModel& elsewhere = drives_.add('D', back);
    byHand_ = false;
    std::vector<std::string> args = offloadArgs();
    args.insert(args.end(), {"--letter", "E"});
    const clitest::Result r = dalvex(args);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.json()["cameras"][0]["files_new"].asUInt(), 1u);
    EXPECT_EQ(elsewhere.snapshot().copyFinished, 1u);
    EXPECT_EQ(copyFinishedCount(), 0u);
}

// Too little space in the archive (a small tmpfs): nothing copied, nothing sent.
TEST_F(Offload, TooLittleSpaceCopiesNothingAndTellsNothing) {
    writeFile(card_ + "/REC0001.MP4", std::string(2 << 20, 'v'));
    fs::create_directories(archive_);
    if (::mount("tmpfs", archive_.c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "no tmpfs can be mounted here (needs root)";
    const clitest::Result full = offload();
    EXPECT_EQ(full.code, 1);
    EXPECT_NE(full.err.find("too little space in the archive: 2097152 bytes needed, "),
              std::string::npos)
        << full.err;
    EXPECT_TRUE(fs::is_empty(archive_));
    EXPECT_EQ(copyFinishedCount(), 0u);
}

// The camera pulled while its card is copied: the files are archived, the camera cannot be told
// and the run says so; plugged in again, a rerun copies nothing and tells it.
TEST_F(Offload, ACameraGoneBeforeCopyFinishedIsToldByTheRerun) {
    const std::string big = card_ + "/big.bin";
    fs::resize_file((writeFile(big, ""), big), uintmax_t(256) << 20);
    const clitest::Result pulled = offloadWhileCopying([&] { drives_.server('E').unplug(); });
    EXPECT_EQ(pulled.code, 1);
    EXPECT_NE(pulled.err.find("the camera is gone: copy-finished was not sent"), std::string::npos)
        << pulled.err;
    EXPECT_EQ(copyFinishedCount(), 0u);

    drives_.server('E').plug();
    const clitest::Result rerun = offload();
    ASSERT_EQ(rerun.code, 0) << rerun.err;
    EXPECT_EQ(rerun.json()["cameras"][0]["already_archived"].asInt(), 1);
    EXPECT_EQ(copyFinishedCount(), 1u);
}

// The archive on a file system that cannot be written (a disk gone, a service's read-only root):
// the message names the archive's folder and why, not the serial's folder below it.
TEST_F(Offload, AnArchiveThatCannotBeMadeSaysWhy) {
    writeFile(card_ + "/REC0001.MP4", "v");
    fs::create_directories(archive_);
    if (::mount("tmpfs", archive_.c_str(), "tmpfs", MS_RDONLY, "size=1m") != 0)
        GTEST_SKIP() << "no tmpfs can be mounted here (needs root)";
    std::vector<std::string> args = offloadArgs();
    std::replace(args.begin(), args.end(), archive_, archive_ + "/evidence");
    const clitest::Result r = dalvex(args);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("cannot make the folder " + archive_ + "/evidence: Read-only file system"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(copyFinishedCount(), 0u);
}

// A source that grows during its copy, a kill mid-file: the camera is told nothing until a rerun
// completes the offload.
TEST_F(Offload, FaultsTellTheCameraNothingUntilARerunCompletes) {
    const std::string big = card_ + "/big.bin";
    writeFile(card_ + "/a.txt", "first");
    fs::resize_file((writeFile(big, ""), big), uintmax_t(256) << 20);  // sparse: cheap to make

    {
        // Appends once the big file's copy has begun.
        const clitest::Result grown =
            offloadWhileCopying([&] { std::ofstream(big, std::ios::app) << "grown"; });
        EXPECT_EQ(grown.code, 1);
        EXPECT_NE(grown.err.find("big.bin: the file changed during the copy"), std::string::npos)
            << grown.err;
        EXPECT_NE(grown.err.find(std::string(kSerial) +
                                 ": 1 files, 5 bytes, failed: 1 file(s) not archived"),
                  std::string::npos)
            << grown.err;
        EXPECT_EQ(copyFinishedCount(), 0u);
        fs::resize_file(big, uintmax_t(256) << 20);
    }

    // Killed mid-file: the partial copy has no final name and the camera heard nothing.
    ASSERT_EQ(offloadFolders().size(), 1u);
    const std::string folder = offloadFolders()[0];
    killMidFile(folder + "/.dalvex-partial");
    EXPECT_FALSE(fs::exists(folder + "/big.bin"));
    EXPECT_FALSE(fs::exists(folder + "/manifest.json"));
    EXPECT_EQ(copyFinishedCount(), 0u);

    // The rerun continues the same offload and only then tells the camera.
    const clitest::Result rerun = offload();
    ASSERT_EQ(rerun.code, 0) << rerun.err;
    EXPECT_EQ(rerun.json()["cameras"][0]["offload_folder"].asString(), folder);
    EXPECT_EQ(rerun.json()["cameras"][0]["files_new"].asUInt(), 2u);
    EXPECT_EQ(rerun.json()["cameras"][0]["bytes"].asUInt64(), 5 + (uint64_t(256) << 20));
    EXPECT_EQ(offloadFolders().size(), 1u);
    EXPECT_EQ(copyFinishedCount(), 1u);
    EXPECT_EQ(std::system(("cd '" + folder + "' && sha256sum --quiet -c SHA256SUMS").c_str()), 0);
    EXPECT_FALSE(fs::exists(folder + "/.dalvex-partial"));
}

// The archive tampered with between runs: a copy that is no longer as it was written is copied
// again, a card file named as the offload's own files is refused, and nothing is written through
// a link; the camera is told only when the card is archived.
TEST_F(Offload, ATamperedArchiveIsNeverTrustedNorWrittenThrough) {
    writeFile(card_ + "/REC0001.MP4", "a recording");
    const std::string elsewhere = dir_ + "/elsewhere";
    const std::string copy = "/REC0001.MP4";
    const struct {
        const char* name;
        std::function<void(const std::string& folder)> tamper;
        int code;
        const char* error;  // "" when the rerun copies the recording again
    } cases[] = {
        {"a copy deleted", [&](const std::string& f) { fs::remove(f + copy); }, 0, ""},
        {"a copy edited", [&](const std::string& f) { writeFile(f + copy, "edited"); }, 0, ""},
        {"a copy replaced by a link",
         [&](const std::string& f) {
             fs::rename(f + copy, elsewhere + copy);
             fs::create_symlink(elsewhere + copy, f + copy);
         },
         0, ""},
        {"the serial's folder a link",
         [&](const std::string&) {
             fs::remove_all(archive_ + "/" + kSerial);
             fs::create_directory_symlink(elsewhere, archive_ + "/" + kSerial);
         },
         1, "BWC0042 is not a folder (a link?): nothing is written there"},
        {"the archive writable by others",
         [&](const std::string&) {
             fs::remove_all(archive_ + "/" + kSerial);
             fs::permissions(archive_, fs::perms::all);
         },
         1, "archive can be changed by another user; nothing was copied"},
        {"a card file named as the manifest",
         [&](const std::string&) {
             fs::remove_all(archive_);
             writeFile(card_ + "/manifest.json", "{}");
         },
         1, "manifest.json: the name is the offload's own file name"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(archive_);
        fs::remove_all(elsewhere);
        fs::create_directories(elsewhere);
        const clitest::Result first = offload();
        ASSERT_EQ(first.code, 0) << first.err;
        c.tamper(first.json()["cameras"][0]["offload_folder"].asString());
        const size_t told = copyFinishedCount();
        const clitest::Result rerun = offload();
        EXPECT_EQ(rerun.code, c.code) << rerun.err;
        EXPECT_NE(rerun.err.find(c.error), std::string::npos) << rerun.err;
        EXPECT_EQ(copyFinishedCount(), told + (c.code == 0 ? 1 : 0));
        if (c.code == 0) {
            EXPECT_EQ(rerun.json()["cameras"][0]["files_new"].asUInt(), 1u) << rerun.out;
            EXPECT_EQ(readFile(rerun.json()["cameras"][0]["offload_folder"].asString() + copy),
                      "a recording");
        }
        for (const auto& e : fs::directory_iterator(elsewhere))
            EXPECT_EQ(e.path().filename(), "REC0001.MP4") << "written through a link";
    }
}

// A serial that would climb out of the archive or put control characters in its names: the
// camera fails, told nothing, and nothing is made.
TEST_F(Offload, ASerialThatCannotNameAFolderIsRefused) {
    writeFile(card_ + "/REC0001.MP4", "a recording");
    for (const char* serial : {"..", "../BWC0042", "BWC\n0042", "BWC\x1b[31m0042"}) {
        SCOPED_TRACE(serial);
        {
            std::lock_guard<std::mutex> guard(model_->lock());
            model_->state().serial = serial;
        }
        const clitest::Result r = offload();
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.err.find("the serial cannot name a folder of the archive"), std::string::npos)
            << r.err;
        EXPECT_FALSE(fs::exists(archive_));
    }
    EXPECT_EQ(copyFinishedCount(), 0u);
}

// A second offload of the same camera while one runs (a dock started twice) copies nothing.
TEST_F(Offload, OneOffloadOfACameraAtATime) {
    writeFile(card_ + "/REC0001.MP4", "a recording");
    ASSERT_EQ(offload().code, 0);
    writeFile(card_ + "/REC0002.MP4", "another");
    const int held = ::open((archive_ + "/" + kSerial).c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    const clitest::Result busy = offload();
    ::close(held);
    EXPECT_EQ(busy.code, 1);
    EXPECT_NE(busy.err.find("another offload of this camera is writing to"), std::string::npos)
        << busy.err;
    EXPECT_EQ(offloadFolders().size(), 1u);
    EXPECT_EQ(copyFinishedCount(), 1u);
    EXPECT_EQ(offload().code, 0);
}

}  // namespace
