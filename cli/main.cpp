// dalvex: the cameras and the GPS tracks of their recordings, from the command line.
#include <CLI/CLI.hpp>
#include <clocale>
#include <csignal>
#include <map>

#include "command_table.h"
#include "dalvex/camera.h"
#include "secrets.h"

namespace {

constexpr const char* kExitCodes =
    "Exit codes: 0 all done, 1 some camera or file failed, 2 usage, 3 no camera, 4 wrong "
    "password.";

}  // namespace

int main(int argc, char** argv) {
    // Passwords come into memory (the environment, a descriptor, a prompt): no core dump or
    // other user's debugger gets them, from the start.
    cli::keepSecretsOutOfDumps();
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");
    // A file size limit makes a write fail with its error instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    cli::Invocation in;
    cli::Options& o = in.options;

    CLI::App app{"dalvex: body-worn cameras and their GPS tracks from the command line.", "dalvex"};
    app.footer(kExitCodes);
    app.require_subcommand(1);
    app.add_flag("--json", o.json, "Print one JSON document on standard output");
    app.add_flag("--verbose,-v", o.verbose, "Show the device library's diagnostic lines");
    app.fallthrough();

    std::map<std::string, CLI::App*> groups;
    std::vector<std::pair<CLI::App*, const cli::Command*>> commands;
    for (const cli::Command& command : cli::commandTable()) {
        CLI::App* parent = &app;
        std::string name = command.path;
        const size_t space = name.find(' ');
        if (space != std::string::npos) {
            const std::string group = name.substr(0, space);
            if (groups[group] == nullptr) {
                groups[group] = app.add_subcommand(group, cli::groupHelp(group));
                groups[group]->require_subcommand(1);
            }
            parent = groups[group];
            name = name.substr(space + 1);
        }
        CLI::App* sub = parent->add_subcommand(name, command.help);
        command.addOptions(*sub, in);
        commands.emplace_back(sub, &command);
    }

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
    for (const auto& [sub, command] : commands) {
        if (sub->parsed()) {
            in.parsed = sub;
            return cli::runCommand(*command, in);
        }
    }
    return cli::kExitUsage;  // require_subcommand leaves no way here
}
