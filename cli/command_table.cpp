#include <limits>

#include "command_table.h"

namespace cli {

namespace {

void noOptions(CLI::App&, Invocation&) {}

void cameraOptions(CLI::App& c, Invocation& in) {
    addCameraOptions(c, in.options, true);
}

void getOptions(CLI::App& c, Invocation& in) {
    c.add_option("RECORD", in.record, "A record name, or all")->required();
    c.add_flag("--show-secrets", in.options.showSecrets,
               "Show network passwords in clear (masked otherwise)");
    addCameraOptions(c, in.options, false);
}

void setOptions(CLI::App& c, Invocation& in) {
    c.add_option("RECORD", in.record, "A record name")->required();
    c.add_option("ASSIGNMENT", in.assignments,
                 "FIELD=VALUE; a secret field takes FIELD=@FILE or FIELD=-")
        ->required();
    c.add_option("--secret-fd", in.options.secretFd,
                 "Read the values of FIELD=- from this open descriptor, one a line")
        ->check(CLI::Range(0, std::numeric_limits<int>::max()));
    addCameraOptions(c, in.options, true);
}

void applyOptions(CLI::App& c, Invocation& in) {
    c.add_option("PROFILE", in.profile, "Profile file")->required();
    c.add_flag("--dry-run,-n", in.options.dryRun, "Show the differences, write nothing");
    addCameraOptions(c, in.options, true);
}

void formatOptions(CLI::App& c, Invocation& in) {
    c.add_flag("--yes,-y", in.options.yes, "Do not ask");
    addCameraOptions(c, in.options, true);
}

void storageOptions(CLI::App& c, Invocation& in) {
    c.add_option("ACTION", in.action, "expose or release")
        ->required()
        ->check(CLI::IsMember({"expose", "release"}));
    addCameraOptions(c, in.options, true);
}

void passwordOptions(CLI::App& c, Invocation& in) {
    c.add_option("KIND", in.kind, "login, browse, user or admin")
        ->required()
        ->check(CLI::IsMember({"login", "browse", "user", "admin"}));
    addCameraOptions(c, in.options, true);
}

void gpsOptions(CLI::App& c, Invocation& in) {
    addGpsOptions(&c, in.gps);
}

void verifyOptions(CLI::App& c, Invocation& in) {
    c.add_option("PATH", in.offload.paths, "An offload folder, a serial's folder or an archive")
        ->required();
}

void metricsOptions(CLI::App& c, Invocation& in) {
    c.add_option("--textfile", in.metrics.textfile,
                 "Write to this file (replaced whole, mode 0644), not standard output");
    c.add_option("--archive", in.metrics.archive,
                 "The archive whose offloads to count (default /var/lib/dalvex/evidence when it "
                 "exists)");
}

int runMetrics(Invocation& in) {
    return writeMetrics(in.metrics);
}

int runVerify(Invocation& in) {
    return verifyArchive(in.offload.paths, in.options.json);
}

int runGpsCommand(Invocation& in) {
    // --json asks for the library's JSON document, the one format that is JSON.
    if (in.options.json && in.parsed->get_option("--format")->count() == 0)
        in.gps.format = "json";
    return runGps(in.gps, in.options.json);
}

constexpr unsigned kChange = kTargets | kLogin | kAudit;

}  // namespace

void addCameraOptions(CLI::App& command, Options& o, bool many) {
    command.add_option("--letter,-l", o.letter, "The camera on this drive letter");
    if (many)
        command.add_flag("--all,-a", o.all, "Every connected camera");
    command
        .add_option("--password-fd", o.passwordFd,
                    "Read passwords from this open descriptor, one a line")
        ->check(CLI::Range(0, std::numeric_limits<int>::max()));
    command.add_option("--audit", o.audit, "Audit log (default $XDG_STATE_HOME/dalvex/audit.log)");
}

const std::vector<Command>& commandTable() {
    // clang-format off
    static const std::vector<Command> table = {
        {"list", "List the cameras on C: to Z:", noOptions, kNoNeeds,
         nullptr, nullptr, nullptr, listCameras, nullptr},
        {"get", "Show settings records by field", getOptions, kTargets | kManyByDefault | kLogin,
         checkGet, nullptr, nullptr, getRecords, nullptr},
        {"set", "Change fields of one record", setOptions, kChange,
         checkSet, nullptr, nullptr, applyWanted, nullptr},
        {"apply", "Bring cameras to a profile (JSON of get)", applyOptions, kChange,
         checkApply, nullptr, nullptr, applyWanted, nullptr},
        {"time sync", "Set the clocks from this computer", cameraOptions, kChange,
         nullptr, nullptr, nullptr, syncTime, nullptr},
        {"format", "Format the cards (asks first)", formatOptions, kChange,
         nullptr, confirmFormat, nullptr, formatCards, nullptr},
        {"reboot", "Restart the cameras", cameraOptions, kChange,
         nullptr, nullptr, nullptr, rebootCameras, nullptr},
        {"storage", "Expose the card as a disk, or release it", storageOptions, kChange,
         checkStorage, nullptr, nullptr, switchStorage, nullptr},
        {"password change", "Change a password", passwordOptions, kChange,
         checkPasswordKind, nullptr, readNewPassword, changePassword, nullptr},
        {"offload", "Copy a camera's recordings into an archive, verified", addOffloadOptions,
         kChange, checkOffload, nullptr, nullptr, offloadCameras, nullptr},
        {"verify", "Check offloads against their manifests", verifyOptions, kWithoutSession,
         nullptr, nullptr, nullptr, nullptr, runVerify},
        {"metrics", "Prometheus metrics of the cameras and the archive", metricsOptions,
         kWithoutSession, nullptr, nullptr, nullptr, nullptr, runMetrics},
        {"gps", "GPS tracks of videos and pictures", gpsOptions, kWithoutSession,
         nullptr, nullptr, nullptr, nullptr, runGpsCommand},
    };
    // clang-format on
    return table;
}

const char* groupHelp(const std::string& group) {
    if (group == "time")
        return "Camera clocks";
    if (group == "password")
        return "Camera passwords";
    return "";
}

int runCommand(const Command& command, Invocation& in) {
    if (command.needs & kWithoutSession)
        return command.runWithoutSession(in);
    Session s(in.options);
    std::vector<Camera> cameras;
    const bool ready = (!command.check || command.check(s, in)) &&
                       (!(command.needs & kTargets) ||
                        !(cameras = s.targets((command.needs & kManyByDefault) != 0)).empty()) &&
                       (!command.confirm || command.confirm(s, cameras)) &&
                       (!(command.needs & kLogin) || s.login(cameras)) &&
                       (!command.afterLogin || command.afterLogin(s, in)) &&
                       (!(command.needs & kAudit) || in.options.dryRun || s.auditReady());
    if (ready)
        command.run(s, in, cameras);
    return s.finish();
}

}  // namespace cli
