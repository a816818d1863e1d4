// dalvex: the cameras and the GPS tracks of their recordings, from the command line.
#include <CLI/CLI.hpp>
#include <clocale>
#include <iostream>
#include <limits>

#include "camera_commands.h"
#include "gps_command.h"
#include "log.h"
#include "session.h"

namespace {

constexpr const char* kExitCodes =
    "Exit codes: 0 all done, 1 some camera or file failed, 2 usage, 3 no camera, 4 wrong "
    "password.";

void addCameraOptions(CLI::App* command, cli::Options& o, bool many) {
    command->add_option("--letter,-l", o.letter, "The camera on this drive letter");
    if (many)
        command->add_flag("--all,-a", o.all, "Every connected camera");
    command
        ->add_option("--password-fd", o.passwordFd,
                     "Read passwords from this open descriptor, one a line")
        ->check(CLI::Range(0, std::numeric_limits<int>::max()));
    command->add_option("--audit", o.audit, "Audit log (default $XDG_STATE_HOME/dalvex/audit.log)");
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");
    cli::Options o;
    std::string record, profile, kind, direction;
    std::vector<std::string> assignments;
    cli::GpsOptions gps;

    CLI::App app{"dalvex: body-worn cameras and their GPS tracks from the command line.", "dalvex"};
    app.footer(kExitCodes);
    app.require_subcommand(1);
    app.add_flag("--json", o.json, "Print one JSON document on standard output");
    app.add_flag("--verbose,-v", o.verbose, "Show the device library's diagnostic lines");
    app.fallthrough();

    CLI::App* list = app.add_subcommand("list", "List the cameras on C: to Z:");

    CLI::App* get = app.add_subcommand("get", "Show settings records by field");
    get->add_option("RECORD", record, "A record name, or all")->required();
    addCameraOptions(get, o, false);

    CLI::App* set = app.add_subcommand("set", "Change fields of one record");
    set->add_option("RECORD", record, "A record name")->required();
    set->add_option("ASSIGNMENT", assignments, "FIELD=VALUE")->required();
    addCameraOptions(set, o, true);

    CLI::App* apply = app.add_subcommand("apply", "Bring cameras to a profile (JSON of get)");
    apply->add_option("PROFILE", profile, "Profile file")->required();
    apply->add_flag("--dry-run,-n", o.dryRun, "Show the differences, write nothing");
    addCameraOptions(apply, o, true);

    CLI::App* time = app.add_subcommand("time", "Camera clocks");
    CLI::App* sync = time->add_subcommand("sync", "Set the clocks from this computer");
    time->require_subcommand(1);
    addCameraOptions(sync, o, true);

    CLI::App* format = app.add_subcommand("format", "Format the cards (asks first)");
    format->add_flag("--yes,-y", o.yes, "Do not ask");
    addCameraOptions(format, o, true);

    CLI::App* reboot = app.add_subcommand("reboot", "Restart the cameras");
    addCameraOptions(reboot, o, true);

    CLI::App* storage = app.add_subcommand("storage", "Expose the card as a disk, or release it");
    storage->add_option("ACTION", direction, "expose or release")
        ->required()
        ->check(CLI::IsMember({"expose", "release"}));
    addCameraOptions(storage, o, true);

    CLI::App* password = app.add_subcommand("password", "Camera passwords");
    CLI::App* change = password->add_subcommand("change", "Change a password");
    password->require_subcommand(1);
    change->add_option("KIND", kind, "login, browse, user or admin")
        ->required()
        ->check(CLI::IsMember({"login", "browse", "user", "admin"}));
    addCameraOptions(change, o, true);

    CLI::App* gpsCommand = app.add_subcommand("gps", "GPS tracks of videos and pictures");
    cli::addGpsOptions(gpsCommand, gps);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0)
            return app.exit(e);  // --help
        // Standard output stays one JSON document for callers that asked for it.
        for (int i = 1; i < argc; ++i) {
            if (std::string(argv[i]) == "--json") {
                o.json = true;
                cli::Session session(o);
                session.fail(cli::kExitUsage, e.what());
                return session.finish();
            }
        }
        app.exit(e);
        return cli::kExitUsage;
    }

    dalvex::setLogEnabled(o.verbose);
    if (gpsCommand->parsed()) {
        // --json asks for the library's JSON document, the one format that is JSON.
        if (o.json && gpsCommand->get_option("--format")->count() == 0)
            gps.format = "json";
        return cli::runGps(gps, o.json);
    }

    cli::Session session(o);
    if (list->parsed())
        cli::listCameras(session);
    else if (get->parsed())
        cli::getRecords(session, record);
    else if (set->parsed())
        cli::setFields(session, record, assignments);
    else if (apply->parsed())
        cli::applyProfile(session, profile);
    else if (sync->parsed())
        cli::syncTime(session);
    else if (format->parsed())
        cli::formatCards(session);
    else if (reboot->parsed())
        cli::rebootCameras(session);
    else if (storage->parsed())
        cli::switchStorage(session, direction);
    else if (change->parsed())
        cli::changePassword(session, kind);
    return session.finish();
}
