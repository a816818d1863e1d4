// The tool's pieces in-process: what reading a secret does to the process.
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "secrets.h"

namespace {

// Reading a secret from any source leaves the process undumpable (a core dump held the login
// password three times). Each source is read in a child, whose dumpable flag starts set.
TEST(Secrets, ReadingOneMakesTheProcessUndumpable) {
    const std::function<void(int)> sources[] = {
        [](int fd) { cli::SecretSource(fd).get("", nullptr); },
        [](int) {
            std::string error;
            cli::readSecretFile("/dev/null", error);
        },
    };
    for (const auto& read : sources) {
        int pipeFds[2];
        ASSERT_EQ(pipe(pipeFds), 0);
        ASSERT_EQ(write(pipeFds[1], "secret\n", 7), 7);
        const pid_t pid = fork();
        if (pid == 0) {
            prctl(PR_SET_DUMPABLE, 1, 0, 0, 0);
            const bool before = prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) == 1;
            read(pipeFds[0]);
            _exit(before && prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) == 0 ? 0 : 1);
        }
        int status = -1;
        waitpid(pid, &status, 0);
        close(pipeFds[0]);
        close(pipeFds[1]);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
}

TEST(Secrets, AWipedSecretLeavesNoCharacters) {
    std::string secret = "0123456789abcdef0123456789";  // past the short-string buffer
    const char* storage = secret.data();
    cli::wipe(secret);
    EXPECT_TRUE(secret.empty());
    EXPECT_EQ(std::string(storage, 26), std::string(26, '\0'));
}

}  // namespace
