// The hidden password prompt on a real terminal (a pseudo-terminal the test holds).
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "support/emulated_cameras.h"

namespace {

// Reads what the program writes to its terminal until text appears or time runs out.
bool waitFor(int master, const std::string& text, std::chrono::milliseconds limit) {
    std::string seen;
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        pollfd p{master, POLLIN, 0};
        if (::poll(&p, 1, 50) > 0) {
            char buffer[256];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n <= 0)
                return false;
            seen.append(buffer, size_t(n));
            if (seen.find(text) != std::string::npos)
                return true;
        }
    }
    return false;
}

// A program ended by a signal at the prompt leaves the terminal echoing, as it found it.
TEST(HiddenPrompt, ASignalAtThePromptGivesTheTerminalItsEchoBack) {
    testsupport::EmulatedDrives drives;
    drives.add('E');
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal);
        int master = -1;
        const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::unsetenv("DALVEX_PASSWORD");
            ::execl(DALVEX_CLI_PATH, DALVEX_CLI_PATH, "get", "setting", nullptr);
            _exit(127);
        }
        ASSERT_TRUE(waitFor(master, "Login password: ", std::chrono::seconds(10)));
        termios during{};
        ASSERT_EQ(::tcgetattr(master, &during), 0);
        EXPECT_EQ(during.c_lflag & ECHO, 0u);  // the prompt hides what is typed
        ::kill(pid, signal);
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal);
        termios after{};
        ASSERT_EQ(::tcgetattr(master, &after), 0);
        EXPECT_NE(after.c_lflag & ECHO, 0u);
        ::close(master);
    }
}

}  // namespace
