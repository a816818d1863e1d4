#include "session.h"

#include <cctype>
#include <cstdio>
#include <iostream>

#include "password_rules.h"

namespace cli {

std::string cameraLabel(const Camera& camera) {
    return std::string(1, camera.letter) + ": " + (camera.serial.empty() ? "-" : camera.serial);
}

namespace {

// The direction marks and overrides (U+200E, U+200F, U+202A to U+202E, U+2066 to U+2069), which
// reorder what a terminal shows; 0x100 for anything else. Moves i past a mark it returns.
unsigned bidiControl(unsigned char second, unsigned char third, size_t& i) {
    const unsigned code = 0x2000u | ((second & 0x3Fu) << 6) | (third & 0x3Fu);
    const bool mark = code == 0x200E || code == 0x200F || (code >= 0x202A && code <= 0x202E) ||
                      (code >= 0x2066 && code <= 0x2069);
    if (!mark || (second & 0xC0) != 0x80 || (third & 0xC0) != 0x80)
        return 0x100;
    i += 2;
    return code;
}

}  // namespace

std::string printable(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size());
    char escaped[8];
    for (size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        unsigned code = 0x100;  // none
        if (c < 0x20 || c == 0x7F)
            code = c;
        else if (c == 0xC2 && i + 1 < utf8.size() &&
                 (static_cast<unsigned char>(utf8[i + 1]) & 0xE0) == 0x80)
            code = static_cast<unsigned char>(utf8[++i]);  // U+0080 to U+009F
        else if (c == 0xE2 && i + 2 < utf8.size())
            code = bidiControl(static_cast<unsigned char>(utf8[i + 1]),
                               static_cast<unsigned char>(utf8[i + 2]), i);
        if (code == 0x100) {
            out.push_back(char(c));
        } else {
            std::snprintf(escaped, sizeof escaped, "\\u%04x", code);
            out += escaped;
        }
    }
    return out;
}

Session::Session(const Options& options)
    : options_(options),
      secrets_(options.passwordFd),
      audit_(options.audit.empty() ? AuditLog::defaultPath() : options.audit) {}

std::vector<Camera> Session::targets(bool manyByDefault) {
    std::vector<Camera> cameras = findCameras();
    if (cameras.empty()) {
        fail(kExitNoCamera, "no camera found on C: to Z:");
        return {};
    }
    if (!options_.letter.empty()) {
        const char wanted = char(std::toupper(static_cast<unsigned char>(options_.letter[0])));
        for (const Camera& c : cameras) {
            if (c.letter == wanted && options_.letter.size() == 1)
                return {c};
        }
        fail(kExitNoCamera, "no camera on " + options_.letter + ":");
        return {};
    }
    if (options_.all || manyByDefault || cameras.size() == 1)
        return cameras;
    fail(kExitUsage, std::to_string(cameras.size()) +
                         " cameras are connected: choose one with --letter, or use --all");
    return {};
}

Session::~Session() {
    wipe(password_);
}

bool Session::login(const std::vector<Camera>& cameras) {
    std::optional<std::string> password =
        secrets_.get("Login password: ", "DALVEX_PASSWORD", "login-password");
    if (!password && !secrets_.error().empty()) {
        fail(kExitUsage, secrets_.error());
        return false;
    }
    if (!password) {
        fail(kExitUsage,
             "no login password: give it on a terminal, with --password-fd or in DALVEX_PASSWORD");
        return false;
    }
    password_ = *password;
    wipe(*password);
    // The camera compares six characters: a longer text would pass on its first six.
    if (password_.size() > passwords::kLoginLength) {
        fail(kExitWrongPassword, "the login password has " +
                                     std::to_string(passwords::kLoginLength) +
                                     " characters, nothing was written");
        return false;
    }
    bool all = true;
    bool refused = false;
    for (const Camera& c : cameras) {
        const dalvex::Camera camera = c.handle();
        if (camera.checkLogin(password_))
            continue;
        all = false;
        // The check fails alike for a wrong password and for a camera that stopped answering:
        // one that still gives its serial has refused the password.
        const std::optional<std::string> serial = camera.serial();
        if (!serial || serial->empty()) {
            fail(kExitCameraFailed, cameraLabel(c) + ": the camera stopped answering");
        } else {
            fail(kExitWrongPassword, cameraLabel(c) + ": the camera refused the login password");
            refused = true;
        }
    }
    if (!all)
        fail(refused ? kExitWrongPassword : kExitCameraFailed, "nothing was written");
    return all;
}

namespace {

// Writes one line of the session with the status lines moved out of its way.
void writeLine(std::ostream& out, StatusLines* status, const std::string& line) {
    if (status)
        status->clear();
    out << line << '\n' << std::flush;
    if (status)
        status->draw();
}

}  // namespace

void Session::setStatusLines(StatusLines* lines) {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    status_ = lines;
}

void Session::fail(int code, const std::string& line) {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    writeLine(std::cerr, status_, "dalvex: " + printable(line));
    errors_.push_back(line);
    // A wrong password outranks a missing camera, which outranks a usage error or a failure.
    auto rank = [](int c) {
        switch (c) {
            case kExitWrongPassword:
                return 4;
            case kExitNoCamera:
                return 3;
            case kExitUsage:
                return 2;
            case kExitCameraFailed:
                return 1;
            default:
                return 0;
        }
    };
    if (rank(code) > rank(exit_))
        exit_ = code;
}

void Session::failCamera(const Camera& camera, Json::Value& result, const std::string& why) {
    result["status"] = "failed";
    result["error"] = why;
    fail(kExitCameraFailed, cameraLabel(camera) + ": " + why);
}

void Session::say(const std::string& line) {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    writeLine(options_.json ? std::cerr : std::cout, status_, printable(line));
}

bool Session::auditReady() {
    const std::string error = audit_.check();
    if (error.empty())
        return true;
    fail(kExitCameraFailed, error + ", nothing was written");
    return false;
}

bool Session::auditAttempt(const Camera& camera, const std::string& record,
                           const std::vector<AuditChange>& changes) {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    const std::string error =
        audit_.append(camera.serial, camera.letter, record, changes, "attempt");
    if (error.empty())
        return true;
    fail(kExitCameraFailed, cameraLabel(camera) + ": " + error + ", nothing was sent");
    return false;
}

void Session::audit(const Camera& camera, const std::string& record,
                    const std::vector<AuditChange>& changes, bool succeeded) {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    const std::string error =
        audit_.append(camera.serial, camera.letter, record, changes, succeeded ? "ok" : "failed");
    if (!error.empty())
        fail(kExitCameraFailed, error);
}

void Session::addResult(Json::Value result) {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    results_.append(std::move(result));
}

int Session::finish() {
    if (options_.json) {
        Json::Value doc(Json::objectValue);
        doc["cameras"] = results_;
        doc["exit_code"] = exit_;
        doc["errors"] = Json::Value(Json::arrayValue);
        for (const std::string& e : errors_)
            doc["errors"].append(e);
        Json::StreamWriterBuilder builder;
        builder["indentation"] = "  ";
        builder["emitUTF8"] = true;
        std::cout << Json::writeString(builder, doc) << '\n';
    }
    std::cout.flush();
    return exit_;
}

}  // namespace cli
