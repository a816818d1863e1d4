#include "audit.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "output_file.h"

namespace cli {

namespace {

std::string operatorName() {
    if (const passwd* pw = getpwuid(geteuid()); pw != nullptr && pw->pw_name != nullptr)
        return pw->pw_name;
    if (const char* user = std::getenv("USER"))
        return user;
    return std::to_string(geteuid());
}

std::string hostName() {
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0)
        return "";
    return host;
}

}  // namespace

std::string formatNow(const char* format, bool utc) {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    if (utc)
        gmtime_r(&now, &tm);
    else
        localtime_r(&now, &tm);
    char buffer[64];
    std::strftime(buffer, sizeof buffer, format, &tm);
    return buffer;
}

std::string AuditLog::defaultPath() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/')
        return std::string(state) + "/dalvex/audit.log";
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0')
        return std::string(home) + "/.local/state/dalvex/audit.log";
    return "";
}

int AuditLog::open(std::string& error) const {
    if (path_.empty()) {
        error = "no audit log path (set XDG_STATE_HOME or HOME, or give --audit)";
        return -1;
    }
    std::error_code ec;
    const std::filesystem::path parent = std::filesystem::path(path_).parent_path();
    if (!parent.empty())
        std::filesystem::create_directories(parent, ec);
    if (const std::string why = unsafeFolderReason(path_); !why.empty()) {
        error = "cannot open the audit log " + path_ + ": " + why;
        return -1;
    }
    // Never through a link, and never waiting on a FIFO: a regular file of this user's, which
    // this open made or which existed before (another user's, or a hard link to one, is not).
    constexpr int kFlags = O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
    int fd = ::open(path_.c_str(), kFlags | O_CREAT | O_EXCL, 0600);
    if (fd < 0 && errno == EEXIST)
        fd = ::open(path_.c_str(), kFlags);
    if (fd < 0) {
        // ENXIO: a FIFO nobody reads.
        error = "cannot open the audit log " + path_ + ": " +
                (errno == ELOOP   ? std::string("it is a symbolic link")
                 : errno == ENXIO ? std::string("it is not a regular file")
                                  : std::string(std::strerror(errno)));
        return -1;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        error = "cannot open the audit log " + path_ + ": it is not a regular file";
        return -1;
    }
    if (info.st_uid != ::geteuid() || info.st_nlink != 1) {
        ::close(fd);
        error = "cannot open the audit log " + path_ +
                ": it belongs to another user or has other names";
        return -1;
    }
    return fd;
}

std::string AuditLog::check() const {
    std::string error;
    const int fd = open(error);
    if (fd >= 0)
        ::close(fd);
    return error;
}

std::string AuditLog::append(const std::string& serial, char letter, const std::string& record,
                             const std::vector<AuditChange>& changes, const std::string& outcome) {
    Json::Value line(Json::objectValue);
    line["time"] = formatNow("%Y-%m-%dT%H:%M:%SZ", true);
    line["operator"] = operatorName();
    line["host"] = hostName();
    line["serial"] = serial;
    line["letter"] = std::string(1, letter);
    line["record"] = record;
    Json::Value fields(Json::arrayValue);
    for (const AuditChange& c : changes) {
        Json::Value f(Json::objectValue);
        f["field"] = c.field;
        if (!c.secret) {
            f["old"] = c.before;
            f["new"] = c.after;
        }
        fields.append(f);
    }
    line["fields"] = fields;
    line["outcome"] = outcome;

    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["emitUTF8"] = true;
    const std::string text = Json::writeString(builder, line) + "\n";

    std::string error;
    const int fd = open(error);
    if (fd < 0)
        return error;
    // A line cut short (a full disk, a size limit) is taken back, so that the next line does
    // not glue onto it; the error is the one the rest of the line meets.
    struct stat before {};
    const bool sized = ::fstat(fd, &before) == 0;
    const ssize_t written = ::write(fd, text.data(), text.size());
    int saved = errno;
    if (written >= 0 && size_t(written) < text.size()) {
        if (::write(fd, text.data() + written, text.size() - size_t(written)) >= 0)
            saved = ENOSPC;  // room again a moment later: still a line not written whole
        else
            saved = errno;
        if (sized)
            (void)!::ftruncate(fd, before.st_size);
    }
    ::close(fd);
    if (written != ssize_t(text.size()))
        return "cannot write the audit log " + path_ + ": " + std::strerror(saved);
    return "";
}

}  // namespace cli
