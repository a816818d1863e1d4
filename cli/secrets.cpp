#include "secrets.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

namespace cli {

namespace {

// Reads up to a line feed, one byte at a time so that nothing after it is consumed.
std::optional<std::string> readLine(int fd) {
    std::string line;
    char c;
    for (;;) {
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        if (c == '\n')
            return line;
        line.push_back(c);
        if (line.size() > 256)
            return std::nullopt;
    }
    if (line.empty())
        return std::nullopt;
    return line;
}

}  // namespace

void keepSecretsOutOfDumps() {
    // A core dump or another process's ptrace would find the password in the heap: from now
    // on the process is not dumpable (this also keeps /proc/PID/mem to root).
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

void wipe(std::string& secret) {
    explicit_bzero(secret.data(), secret.size());
    secret.clear();
}

std::optional<std::string> SecretSource::get(const char* prompt, const char* variable) {
    keepSecretsOutOfDumps();
    std::optional<std::string> secret;
    if (fd_ >= 0) {
        secret = readLine(fd_);
    } else if (const char* value = variable ? std::getenv(variable) : nullptr; value != nullptr) {
        secret = std::string(value);
        ::unsetenv(variable);  // no child of this process inherits it
    } else {
        secret = promptHidden(prompt);
    }
    if (secret && !secret->empty() && secret->back() == '\r')
        secret->pop_back();
    return secret;
}

std::optional<std::string> readSecretFile(const std::string& path, std::string& error) {
    keepSecretsOutOfDumps();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    std::optional<std::string> line = readLine(fd);
    ::close(fd);
    if (line && !line->empty() && line->back() == '\r')
        line->pop_back();
    if (!line)
        error = "no secret in " + path + " (an empty file, or a line over 256 bytes)";
    return line;
}

namespace {

// The terminal as it was before a hidden prompt, put back by a signal that ends the program
// during the prompt (the shell would otherwise be left without echo).
int g_promptTerminal = -1;
termios g_promptSaved{};
constexpr int kPromptSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void restoreTerminalAndDie(int signal) {
    tcsetattr(g_promptTerminal, TCSAFLUSH, &g_promptSaved);
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

}  // namespace

std::optional<std::string> promptHidden(const char* prompt) {
    const int fd = ::open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    termios saved{};
    const bool isTerminal = tcgetattr(fd, &saved) == 0;
    if (!isTerminal) {
        ::close(fd);
        return std::nullopt;
    }
    g_promptTerminal = fd;
    g_promptSaved = saved;
    struct sigaction restore {
    }, previous[std::size(kPromptSignals)];
    restore.sa_handler = restoreTerminalAndDie;
    sigemptyset(&restore.sa_mask);
    for (size_t i = 0; i < std::size(kPromptSignals); ++i)
        ::sigaction(kPromptSignals[i], &restore, &previous[i]);
    termios quiet = saved;
    quiet.c_lflag &= ~tcflag_t(ECHO);
    tcsetattr(fd, TCSAFLUSH, &quiet);
    (void)!::write(fd, prompt, std::strlen(prompt));
    std::optional<std::string> line = readLine(fd);
    tcsetattr(fd, TCSAFLUSH, &saved);
    for (size_t i = 0; i < std::size(kPromptSignals); ++i)
        ::sigaction(kPromptSignals[i], &previous[i], nullptr);
    g_promptTerminal = -1;
    (void)!::write(fd, "\n", 1);
    ::close(fd);
    return line ? line : std::string();
}

}  // namespace cli
