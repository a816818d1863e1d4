#include "secrets.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
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
    line.reserve(257);  // no reallocation leaves a copy of the secret behind
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

void dropCarriageReturn(std::optional<std::string>& line) {
    if (line && !line->empty() && line->back() == '\r')
        line->pop_back();
}

// The credential systemd put in $CREDENTIALS_DIRECTORY: a regular file, opened without following
// a link. Nothing, with error empty, when there is no such credential.
std::optional<std::string> readCredential(const char* name, std::string& error) {
    const char* folder = std::getenv("CREDENTIALS_DIRECTORY");
    if (folder == nullptr || *folder == '\0')
        return std::nullopt;
    const std::string path = std::string(folder) + "/" + name;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0 && errno == ENOENT)
        return std::nullopt;
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = "the credential " + path + " is not a regular file" +
                (fd < 0 ? std::string(": ") + std::strerror(errno) : std::string());
        if (fd >= 0)
            ::close(fd);
        return std::nullopt;
    }
    std::optional<std::string> line = readLine(fd);
    ::close(fd);
    // A blank line is no password either: a login with it would only count as a wrong one.
    if (line && (line->empty() || *line == "\r"))
        line.reset();
    if (!line)
        error =
            "no secret in the credential " + path + " (an empty file, or a line over 256 bytes)";
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

std::optional<std::string> SecretSource::get(const char* prompt, const char* variable,
                                             const char* credential) {
    keepSecretsOutOfDumps();
    error_.clear();
    std::optional<std::string> secret;
    if (credential != nullptr)
        secret = readCredential(credential, error_);
    if (secret || !error_.empty()) {
        // A credential that is there but unsafe stops here: no other source stands in for it.
    } else if (fd_ >= 0) {
        secret = readLine(fd_);
    } else if (const char* value = variable ? std::getenv(variable) : nullptr; value != nullptr) {
        secret = std::string(value);
        ::unsetenv(variable);  // no child of this process inherits it
    } else {
        secret = promptHidden(prompt);
    }
    dropCarriageReturn(secret);
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
    dropCarriageReturn(line);
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
