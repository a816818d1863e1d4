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

// The bus and the fake, ended with the test.
struct Children {
    std::vector<pid_t> pids;
    void spawn(std::vector<std::string> argv) {
        const pid_t pid = fork();
        if (pid == 0) {
            dup2(open("/dev/null", O_WRONLY), STDERR_FILENO);
            std::vector<char*> args;
            for (auto& a : argv)
                args.push_back(a.data());
            args.push_back(nullptr);
            execv(args[0], args.data());
            _exit(127);
        }
        pids.push_back(pid);
    }
    ~Children() {
        for (const pid_t pid : pids) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
};

TEST(Udisks, MountsUnmountsAndNamesTheCard) {
    if (access(kDaemon, X_OK) != 0 ||
        system((std::string(kPython) + " -c 'import dbusmock' 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "needs dbus-daemon and python3-dbusmock";
    char pattern[] = "/tmp/dalvex-udisks-XXXXXX";
    const std::string dir = mkdtemp(pattern), log = dir + "/calls.log";
    const std::string bus = "unix:path=" + dir + "/bus";
    Children children;
    children.spawn({kDaemon, "--session", "--nofork", "--address=" + bus});
    setenv("DBUS_SESSION_BUS_ADDRESS", bus.c_str(), 1);
    setenv("DBUS_SYSTEM_BUS_ADDRESS", bus.c_str(), 1);
    children.spawn({kPython, "-m", "dbusmock", "--session", "-t", DALVEX_FAKE_UDISKS2, "-l", log});
    // Ready once it answers: the first asks find no bus or no owner of the name.
    bool ready = false;
    std::string label, uuid;
    for (int i = 0; i < 100 && !ready; ++i) {
        ready = cli::udisks::identify("/dev/sdb1", label, uuid);
        if (!ready)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ASSERT_TRUE(ready) << "the stand-in udisks2 did not come up";

    enum Op { kMount, kUnmount, kIdentify };
    struct Case {
        const char* name;
        Op op;
        const char* device;
        const char* bus;    // a file of the test's folder instead of the fake's bus
        const char* error;  // after "cannot mount DEVICE read-only: "; nullptr when it works
        const char *mountPoint, *label, *uuid;
        bool mountedHere;
        const char* call;  // a call the fake saw; after '!', one it must not have seen ("! ": none)
    };
    const char* kRefused = "not authorized (Not authorized to perform operation)";
    const Case cases[] = {
        {"mount", kMount, "/dev/sdb1", nullptr, nullptr, "/media/test/CARD", "CARD", "3A1F-0C22",
         true, R"( Mount {"options": "ro", "auth.no_user_interaction": True})"},
        {"mounted already", kMount, "/dev/sdc1", nullptr, nullptr, "/media/test/OTHER", "OTHER",
         "77E0-1B09", false, "! Mount "},
        {"mount refused", kMount, "/dev/sdd1", nullptr, kRefused, "", "LOCKED", "0D0D-5E5E", false,
         " Mount "},
        {"unknown device", kMount, "/dev/sdz9", nullptr, "udisks2 does not know it", "", "", "",
         false, "! Mount "},
        {"no ResolveDevice", kMount, "/dev/sde1", nullptr, nullptr, "/media/test/CARD", "OLD",
         "1234-ABCD", true, " GetManagedObjects"},
        {"no file system", kMount, "/dev/sdf", nullptr, "it holds no file system udisks2 can mount",
         "", "", "", false, "! Mount "},
        {"unmount", kUnmount, "/dev/sdb1", nullptr, nullptr, "", "", "", false,
         R"( Unmount {"auth.no_user_interaction": True})"},
        {"unmount refused", kUnmount, "/dev/sdd1", nullptr, kRefused, "", "", "", false,
         " Unmount "},
        {"identify", kIdentify, "/dev/sdc1", nullptr, nullptr, "", "OTHER", "77E0-1B09", false,
         " ResolveDevice"},
        {"identify unknown", kIdentify, "/dev/sdz9", nullptr, "", "", "", "", false,
         R"( ResolveDevice {"path": "/dev/sdz9"})"},
        {"no bus", kMount, "/dev/sdb1", "nowhere", "no system bus (", "", "", "", false, "! "},
        {"bus that never answers", kUnmount, "/dev/sdb1", "silent",
         "no system bus (it did not answer in time)", "", "", "", false, "! "},
    };

    const auto openFiles = [] {
        return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
    };
    const auto filesBefore = openFiles();
    // Something listening that never accepts: the client's handshake waits for nothing.
    const int silent = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    (dir + "/silent").copy(addr.sun_path, sizeof addr.sun_path - 1);
    ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(listen(silent, 1), 0);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string address = c.bus ? "unix:path=" + dir + "/" + c.bus : bus;
        setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);
        const auto logStart = std::streamoff(fs::file_size(log));
        const auto start = std::chrono::steady_clock::now();

        cli::udisks::Mount mount;
        std::string error;
        const std::string device = c.device;
        const bool ok = c.op == kMount     ? cli::udisks::mountReadOnly(device, mount, error)
                        : c.op == kUnmount ? cli::udisks::unmount(device, error)
                                           : cli::udisks::identify(device, mount.label, mount.uuid);

        // Each call has its time-out: nothing waits longer than the 5 s of a lookup.
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(8));
        EXPECT_EQ(ok, c.error == nullptr);
        const std::string failed = c.op == kMount     ? "cannot mount " + device + " read-only: "
                                   : c.op == kUnmount ? "cannot unmount " + device + ": "
                                                      : "";
        if (c.error) {
            EXPECT_EQ(error.rfind(failed + c.error, 0), 0u) << error;
        }
        EXPECT_EQ(error.empty(), ok || c.op == kIdentify) << error;
        EXPECT_EQ(mount.mountPoint, c.mountPoint);
        EXPECT_EQ(mount.label, c.label);
        EXPECT_EQ(mount.uuid, c.uuid);
        EXPECT_EQ(mount.mountedHere, c.mountedHere);

        std::ifstream logFile(log);
        logFile.seekg(logStart);
        std::stringstream calls;
        calls << logFile.rdbuf();
        const bool unwanted = c.call[0] == '!';
        EXPECT_EQ(calls.str().find(c.call + unwanted) == std::string::npos, unwanted)
            << calls.str();
    }
    close(silent);
    // Every call's connection is closed with it (give or take one that GIO's worker thread is
    // closing at that moment).
    EXPECT_LE(openFiles(), filesBefore + 1);
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    fs::remove_all(dir);
}

}  // namespace
