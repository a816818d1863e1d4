// The tool's commands as one table: a row per command with the options it adds, what must
// happen before it runs (pick the target cameras, confirm, log in, open the audit log) and the
// function that runs it. The preamble runs once, from the row's needs.
#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <vector>

#include "gps_command.h"
#include "metrics.h"
#include "offload.h"
#include "record_plan.h"
#include "session.h"

namespace cli {

// What one run of the tool was given, and what its checks prepared.
struct Invocation {
    Options options;
    std::string record;   // get, set
    std::string profile;  // apply
    std::string kind;     // password change
    std::string action;   // storage
    std::vector<std::string> assignments;
    GpsOptions gps;
    OffloadOptions offload;
    MetricsOptions metrics;
    CLI::App* parsed = nullptr;  // the command line's command, to ask which options it was given
    WantedRecords wanted;        // set and apply, from their arguments or the profile
    std::optional<std::string> currentPassword, newPassword;  // password change

    ~Invocation() {
        for (std::optional<std::string>* p : {&currentPassword, &newPassword}) {
            if (*p)
                wipe(**p);
        }
    }
};

enum Needs : unsigned {
    kNoNeeds = 0,
    kTargets = 1,          // the cameras of --letter or --all, or the only one
    kManyByDefault = 2,    // with kTargets: every camera unless --letter
    kLogin = 4,            // the login password checked on every target
    kAudit = 8,            // the audit log must take lines (unless --dry-run)
    kWithoutSession = 16,  // runs on its own (GPS: no camera, its own exit code)
};

struct Command {
    const char* path;  // "get", or "time sync" for a command under a group
    const char* help;
    void (*addOptions)(CLI::App& command, Invocation& in);
    unsigned needs;
    // Each hook returns false when the run stops there (the session holds why).
    bool (*check)(Session& s, Invocation& in);  // the arguments, before any camera is asked
    bool (*confirm)(Session& s, const std::vector<Camera>& cameras);  // before the login
    bool (*afterLogin)(Session& s, Invocation& in);                   // before the audit log
    void (*run)(Session& s, Invocation& in, const std::vector<Camera>& cameras);
    int (*runWithoutSession)(Invocation& in);
};

const std::vector<Command>& commandTable();
// The help text of a group that holds commands ("time", "password").
const char* groupHelp(const std::string& group);

// Runs a parsed command: its preamble, then the command. Returns the exit code.
int runCommand(const Command& command, Invocation& in);

// The options of the commands that talk to cameras.
void addCameraOptions(CLI::App& command, Options& o, bool many);

// The rows' functions, one file per group of commands.
void listCameras(Session& s, Invocation& in, const std::vector<Camera>& cameras);
bool checkGet(Session& s, Invocation& in);
void getRecords(Session& s, Invocation& in, const std::vector<Camera>& cameras);
bool checkSet(Session& s, Invocation& in);
bool checkApply(Session& s, Invocation& in);
void applyWanted(Session& s, Invocation& in, const std::vector<Camera>& cameras);

void syncTime(Session& s, Invocation& in, const std::vector<Camera>& cameras);
bool confirmFormat(Session& s, const std::vector<Camera>& cameras);
void formatCards(Session& s, Invocation& in, const std::vector<Camera>& cameras);
void rebootCameras(Session& s, Invocation& in, const std::vector<Camera>& cameras);
bool checkStorage(Session& s, Invocation& in);
void switchStorage(Session& s, Invocation& in, const std::vector<Camera>& cameras);

bool checkPasswordKind(Session& s, Invocation& in);
bool readNewPassword(Session& s, Invocation& in);
void changePassword(Session& s, Invocation& in, const std::vector<Camera>& cameras);

void addOffloadOptions(CLI::App& command, Invocation& in);
bool checkOffload(Session& s, Invocation& in);
void offloadCameras(Session& s, Invocation& in, const std::vector<Camera>& cameras);

}  // namespace cli
