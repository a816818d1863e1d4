// The udisks2 client against a stand-in service (fake_udisks2.py, a python-dbusmock template) on
// a private bus of its own; the machine's system bus is never asked.
#include "udisks.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

namespace fs = std::filesystem;

// Debian's interpreter: python3-dbusmock is installed for it alone.
constexpr char kPython[] = "/usr/bin/python3";
constexpr char kDaemon[] = "/usr/bin/dbus-daemon";

pid_t spawn(const std::vector<std::string>& argv, int outFd) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (outFd >= 0)
            dup2(outFd, STDOUT_FILENO);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDERR_FILENO);
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    return pid;
}

void stop(pid_t& pid) {
    if (pid > 0) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
    pid = -1;
}

class Udisks : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (access(kDaemon, X_OK) != 0 ||
            system((std::string(kPython) + " -c 'import dbusmock' 2>/dev/null").c_str()) != 0)
            return;
        char pattern[] = "/tmp/dalvex-udisks-XXXXXX";
        dir_ = mkdtemp(pattern);
        int address[2];
        if (pipe(address) != 0)
            return;
        daemon_ = spawn({kDaemon, "--session", "--nofork", "--print-address=1"}, address[1]);
        close(address[1]);
        char line[512] = {};
        const ssize_t n = read(address[0], line, sizeof line - 1);
        close(address[0]);
        if (n <= 0)
            return;
        bus_ = std::string(line, size_t(n));
        bus_.erase(bus_.find_last_not_of('\n') + 1);
        setenv("DBUS_SYSTEM_BUS_ADDRESS", bus_.c_str(), 1);
        setenv("DBUS_SESSION_BUS_ADDRESS", bus_.c_str(), 1);
        fake_ = spawn(
            {kPython, "-m", "dbusmock", "--session", "-t", DALVEX_FAKE_UDISKS2, "-l", log()}, -1);
        // Ready once it answers; the first asks find no owner of the name.
        std::string label, uuid;
        for (int i = 0; i < 100 && !ready_; ++i) {
            ready_ = cli::udisks::identify("/dev/sdb1", label, uuid);
            if (!ready_)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    static void TearDownTestSuite() {
        stop(fake_);
        stop(daemon_);
        if (!dir_.empty())
            fs::remove_all(dir_);
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
        unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    }
    void SetUp() override {
        if (fake_ <= 0)
            GTEST_SKIP() << "needs dbus-daemon and python3-dbusmock";
        ASSERT_TRUE(ready_) << "the stand-in udisks2 did not come up on " << bus_;
    }
    static std::string log() { return dir_ + "/calls.log"; }

    static inline std::string dir_, bus_;
    static inline pid_t daemon_ = -1, fake_ = -1;
    static inline bool ready_ = false;
};

// What the fake logged since the given length of its log.
std::string loggedSince(const std::string& path, std::streamoff from) {
    std::ifstream f(path);
    f.seekg(from);
    std::stringstream text;
    text << f.rdbuf();
    return text.str();
}

TEST_F(Udisks, MountsUnmountsAndNamesTheCard) {
    enum Op { kMount, kUnmount, kIdentify };
    enum Bus { kFake, kNowhere, kSilent };
    struct Case {
        const char* name;
        Bus bus;
        Op op;
        const char* device;
        bool ok;
        cli::udisks::Mount expected;  // the labels also for identify
        const char* error;
        const char* logged;     // a call the fake saw
        const char* notLogged;  // a call it must not have seen
    };
    const char* kRefused = "not authorized (Not authorized to perform operation)";
    const Case cases[] = {
        {"mount",
         kFake,
         kMount,
         "/dev/sdb1",
         true,
         {"/media/test/CARD", "CARD", "3A1F-0C22", true},
         "",
         R"( Mount {"options": "ro", "auth.no_user_interaction": True})",
         nullptr},
        {"mounted already",
         kFake,
         kMount,
         "/dev/sdc1",
         true,
         {"/media/test/OTHER", "OTHER", "77E0-1B09", false},
         "",
         nullptr,
         " Mount "},
        {"mount refused", kFake, kMount, "/dev/sdd1", false, {}, kRefused, " Mount ", nullptr},
        {"unknown device",
         kFake,
         kMount,
         "/dev/sdz9",
         false,
         {},
         "udisks2 does not know it",
         nullptr,
         " Mount "},
        {"no ResolveDevice",
         kFake,
         kMount,
         "/dev/sde1",
         true,
         {"/media/test/CARD", "OLD", "1234-ABCD", true},
         "",
         " GetManagedObjects",
         nullptr},
        {"no file system",
         kFake,
         kMount,
         "/dev/sdf",
         false,
         {},
         "it holds no file system udisks2 can mount",
         nullptr,
         " Mount "},
        {"unmount",
         kFake,
         kUnmount,
         "/dev/sdb1",
         true,
         {},
         "",
         R"( Unmount {"auth.no_user_interaction": True})",
         nullptr},
        {"unmount refused",
         kFake,
         kUnmount,
         "/dev/sdd1",
         false,
         {},
         kRefused,
         " Unmount ",
         nullptr},
        {"identify",
         kFake,
         kIdentify,
         "/dev/sdc1",
         true,
         {"", "OTHER", "77E0-1B09"},
         "",
         nullptr,
         nullptr},
        {"identify unknown", kFake, kIdentify, "/dev/sdz9", false, {}, "", nullptr, nullptr},
        {"no bus", kNowhere, kMount, "/dev/sdb1", false, {}, "no system bus (", nullptr, nullptr},
        {"bus that never answers",
         kSilent,
         kUnmount,
         "/dev/sdb1",
         false,
         {},
         "no system bus (it did not answer in time)",
         nullptr,
         nullptr},
    };

    const auto openFiles = [] {
        return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
    };
    const auto filesBefore = openFiles();
    // Something listening that never accepts: the client's handshake waits for nothing.
    const std::string silentPath = dir_ + "/silent";
    const int silent = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    silentPath.copy(addr.sun_path, sizeof addr.sun_path - 1);
    ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(listen(silent, 1), 0);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string address = c.bus == kFake      ? bus_
                                    : c.bus == kNowhere ? "unix:path=" + dir_ + "/nowhere"
                                                        : "unix:path=" + silentPath;
        setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);
        const auto logStart = std::streamoff(fs::file_size(log()));
        const auto start = std::chrono::steady_clock::now();

        cli::udisks::Mount mount;
        std::string error;
        bool ok = false;
        std::string prefix;
        switch (c.op) {
            case kMount:
                ok = cli::udisks::mountReadOnly(c.device, mount, error);
                prefix = std::string("cannot mount ") + c.device + " read-only: ";
                break;
            case kUnmount:
                ok = cli::udisks::unmount(c.device, error);
                prefix = std::string("cannot unmount ") + c.device + ": ";
                break;
            case kIdentify:
                ok = cli::udisks::identify(c.device, mount.label, mount.uuid);
                break;
        }

        // Each call has its time-out: nothing waits longer than the 5 s of a lookup.
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(8));
        EXPECT_EQ(ok, c.ok);
        if (c.ok || c.op == kIdentify) {
            EXPECT_EQ(error, "");
            EXPECT_EQ(mount.mountPoint, c.expected.mountPoint);
            EXPECT_EQ(mount.label, c.expected.label);
            EXPECT_EQ(mount.uuid, c.expected.uuid);
            EXPECT_EQ(mount.mountedHere, c.expected.mountedHere);
        } else {
            EXPECT_EQ(error.rfind(prefix + c.error, 0), 0u) << error;
        }
        const std::string calls = loggedSince(log(), logStart);
        if (c.logged) {
            EXPECT_NE(calls.find(c.logged), std::string::npos) << calls;
        }
        if (c.notLogged) {
            EXPECT_EQ(calls.find(c.notLogged), std::string::npos) << calls;
        }
    }
    close(silent);
    setenv("DBUS_SYSTEM_BUS_ADDRESS", bus_.c_str(), 1);
    // Every call's connection is closed with it (give or take one that GIO's worker thread is
    // closing at that moment).
    EXPECT_LE(openFiles(), filesBefore + 1);
}

}  // namespace
