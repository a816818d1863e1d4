// The tool's pieces in-process: what reading a secret does to the process.
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
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

// The order of the sources: a service's credential first, then the descriptor, then the variable.
// A credential that is there but not a plain file stops the search with a reason.
TEST(Secrets, TheCredentialComesFirstAndMustBeARegularFile) {
    namespace fs = std::filesystem;
    char pattern[] = "/tmp/dalvex-credentials-XXXXXX";
    const fs::path folder = mkdtemp(pattern);
    const fs::path file = folder / "login-password";
    enum Kind { kNone, kFile, kLink, kFolder };
    const struct {
        const char* name;
        Kind kind;
        const char* content;  // of the credential file, or of the link's target
        const char* credential;
        const char* fd;        // "" none
        const char* expected;  // nullptr: no secret, with a reason
    } cases[] = {
        {"credential before the others", kFile, "111111\n", "login-password", "222222\n", "111111"},
        {"no line feed, as systemd-creds writes", kFile, "111111", "login-password", "", "111111"},
        {"carriage return dropped", kFile, "111111\r\n", "login-password", "", "111111"},
        {"no credential: the descriptor", kNone, "", "login-password", "222222\n", "222222"},
        {"no credential: the variable", kNone, "", "login-password", "", "333333"},
        {"another secret never reads it", kFile, "111111\n", nullptr, "222222\n", "222222"},
        {"a link is refused", kLink, "111111\n", "login-password", "222222\n", nullptr},
        {"a folder is refused", kFolder, "", "login-password", "222222\n", nullptr},
        {"an empty file is refused", kFile, "", "login-password", "222222\n", nullptr},
        {"a blank line is refused", kFile, "\n", "login-password", "222222\n", nullptr},
        {"a blank CRLF line is refused", kFile, "\r\n", "login-password", "222222\n", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(file);
        fs::remove(folder / "target");
        if (c.kind == kFile)
            std::ofstream(file, std::ios::binary) << c.content;
        if (c.kind == kLink) {
            std::ofstream(folder / "target", std::ios::binary) << c.content;
            fs::create_symlink(folder / "target", file);
        }
        if (c.kind == kFolder)
            fs::create_directory(file);
        setenv("CREDENTIALS_DIRECTORY", folder.c_str(), 1);
        setenv("DALVEX_TEST_SECRET", "333333", 1);
        int pipeFds[2] = {-1, -1};
        if (*c.fd) {
            ASSERT_EQ(pipe(pipeFds), 0);
            ASSERT_EQ(write(pipeFds[1], c.fd, strlen(c.fd)), ssize_t(strlen(c.fd)));
            close(pipeFds[1]);
        }
        cli::SecretSource source(pipeFds[0]);
        const std::optional<std::string> secret =
            source.get("", "DALVEX_TEST_SECRET", c.credential);
        if (c.expected) {
            EXPECT_EQ(secret.value_or("(none)"), c.expected);
            EXPECT_EQ(source.error(), "");
        } else {
            EXPECT_FALSE(secret.has_value());
            EXPECT_NE(source.error().find(file.string()), std::string::npos) << source.error();
        }
        if (pipeFds[0] >= 0)
            close(pipeFds[0]);
    }
    unsetenv("CREDENTIALS_DIRECTORY");
    unsetenv("DALVEX_TEST_SECRET");
    fs::remove_all(folder);
    prctl(PR_SET_DUMPABLE, 1, 0, 0, 0);  // for the sanitizers' leak check
}

TEST(Secrets, AWipedSecretLeavesNoCharacters) {
    std::string secret = "0123456789abcdef0123456789";  // past the short-string buffer
    const char* storage = secret.data();
    cli::wipe(secret);
    EXPECT_TRUE(secret.empty());
    EXPECT_EQ(std::string(storage, 26), std::string(26, '\0'));
}

}  // namespace
