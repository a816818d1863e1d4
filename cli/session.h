// What one run of the tool shares between its commands: the options, the cameras it works on,
// the password sources, the audit log, the exit code and the JSON document it prints.
#pragma once

#include <json/json.h>

#include <mutex>
#include <string>
#include <vector>

#include "audit.h"
#include "cameras.h"
#include "secrets.h"

namespace cli {

// The documented exit codes.
enum ExitCode {
    kExitOk = 0,
    kExitCameraFailed = 1,
    kExitUsage = 2,
    kExitNoCamera = 3,
    kExitWrongPassword = 4,
};

struct Options {
    bool json = false;
    bool verbose = false;
    bool all = false;
    bool yes = false;
    bool dryRun = false;
    std::string letter;
    std::string audit;
    int passwordFd = -1;
    int secretFd = -1;         // set: where FIELD=- values of secret fields are read from
    bool showSecrets = false;  // get: secret fields in clear
};

// Lines kept at the bottom of the terminal (the offload's progress, one per camera) that the
// session's own lines must not tear: cleared before each line and drawn again after it.
class StatusLines {
  public:
    virtual ~StatusLines() = default;
    virtual void clear() = 0;
    virtual void draw() = 0;
};

// A session may be shared by workers, one per camera: its lines, audit lines, exit code and
// results are taken under one lock.
class Session {
  public:
    explicit Session(const Options& options);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    const Options& options() const { return options_; }

    // The cameras a command works on: the one of --letter, all with --all (or when many are
    // allowed), else the only camera. Empty after an error (exit code set).
    std::vector<Camera> targets(bool manyByDefault);

    // Checks the login password on every target before anything is written. False (exit code 4,
    // or 2 when no password could be read) when one refuses it.
    bool login(const std::vector<Camera>& cameras);
    const std::string& loginPassword() const { return password_; }
    SecretSource& secrets() { return secrets_; }

    // One line on standard error, and the exit code raised to at least code.
    void fail(int code, const std::string& line);
    void failCamera(const Camera& camera, Json::Value& result, const std::string& why);
    // A line for the user: standard output, or standard error in JSON mode.
    void say(const std::string& line);

    // Whether the audit log can take lines: a write nobody could trace is not made. False (exit
    // code 1) when it cannot.
    bool auditReady();

    // The audit line written before a command is sent: false (the camera failed, with the
    // log's own error) when it cannot be written, and then nothing may be sent.
    bool auditAttempt(const Camera& camera, const std::string& record,
                      const std::vector<AuditChange>& changes);
    // The line of the outcome, after the command; a failure to log fails the camera.
    void audit(const Camera& camera, const std::string& record,
               const std::vector<AuditChange>& changes, bool succeeded);

    // Adds a per-camera object to the JSON document.
    void addResult(Json::Value result);

    // The lock of the session's output, and lines to keep clear of it (null: none).
    std::recursive_mutex& outputLock() { return lock_; }
    void setStatusLines(StatusLines* lines);

    // Prints the JSON document (in JSON mode) and returns the exit code.
    int finish();
    int exitCode() const { return exit_; }

  private:
    Options options_;
    SecretSource secrets_;
    AuditLog audit_;
    std::string password_;
    Json::Value results_{Json::arrayValue};
    std::vector<std::string> errors_;
    int exit_ = kExitOk;
    std::recursive_mutex lock_;
    StatusLines* status_ = nullptr;
};

std::string cameraLabel(const Camera& camera);

// A text for the terminal: control characters (C0, DEL and C1, which a terminal would act on)
// written as \u00XX, as the audit log's JSON writes them.
std::string printable(const std::string& utf8);

// Runs one action per camera, after the preamble: changesOf names what the action will set, for
// the audit line written before it (no line, no action) and the one after; the action returns
// an error text or "".
template <typename Changes, typename Action>
void forEachCamera(Session& s, const std::vector<Camera>& cameras, const std::string& record,
                   Changes changesOf, Action action) {
    for (const Camera& c : cameras) {
        Json::Value result = c.identity();
        const std::vector<AuditChange> changes = changesOf(c);
        if (!s.auditAttempt(c, record, changes)) {
            result["status"] = "failed";
            result["error"] = "nothing was sent: the audit log cannot take its line";
            s.addResult(result);
            continue;
        }
        const std::string error = action(c);
        s.audit(c, record, changes, error.empty());
        if (error.empty()) {
            result["status"] = "ok";
            s.say(cameraLabel(c) + ": " + record + " done");
        } else {
            s.failCamera(c, result, error);
        }
        s.addResult(result);
    }
}

}  // namespace cli
