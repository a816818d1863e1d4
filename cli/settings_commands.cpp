// list, get, set and apply: the cameras and their settings records.
#include <cstdio>
#include <iostream>

#include "command_table.h"
#include "profile.h"

namespace cli {

namespace {

// Splits FIELD=VALUE.
bool splitAssignment(const std::string& text, std::string& field, std::string& value) {
    const size_t eq = text.find('=');
    if (eq == std::string::npos || eq == 0)
        return false;
    field = text.substr(0, eq);
    value = text.substr(eq + 1);
    return true;
}

// A secret field's value: never the text of the argument, which every user's ps shows, but
// @FILE (its first line) or - (the next line of --secret-fd, or a prompt without echo).
std::optional<std::string> secretValue(Session& s, const Invocation& in, const std::string& field,
                                       const std::string& given) {
    const std::string name = in.record + "." + field;
    std::optional<std::string> secret;
    std::string error;
    if (given.size() > 1 && given[0] == '@') {
        secret = readSecretFile(given.substr(1), error);
    } else if (given == "-" && s.options().secretFd >= 0 &&
               s.options().secretFd == s.options().passwordFd) {
        error = "--secret-fd and --password-fd name the same descriptor: give each its own";
    } else if (given == "-") {
        const std::string prompt = "Value of " + name + ": ";
        secret = SecretSource(s.options().secretFd).get(prompt.c_str(), nullptr);
        if (!secret)
            error = "no value for " + name + " on --secret-fd or a terminal";
    } else {
        error = name + " is a secret and is not taken from the command line: give " + field +
                "=@FILE, or " + field + "=- to read it from --secret-fd or a prompt";
    }
    if (!secret)
        s.fail(kExitUsage, error);
    return secret;
}

}  // namespace

void listCameras(Session& s, Invocation&, const std::vector<Camera>&) {
    const std::vector<Camera> cameras = findCameras();
    if (!s.options().json && !cameras.empty())
        std::cout << "LETTER  SERIAL            MODEL       FIRMWARE                  BATTERY  "
                     "STORAGE\n";
    for (const Camera& c : cameras) {
        Json::Value v = c.identity();
        v["firmware"] = c.firmware();
        v["battery"] = c.battery < 0 ? Json::Value() : Json::Value(c.battery);
        v["storage_exposed"] = c.storageExposed;
        s.addResult(v);
        if (!s.options().json) {
            const std::string model = std::to_string(c.spec.modelCode) +
                                      (c.modelName().empty() ? "" : " " + c.modelName());
            char line[256];
            std::snprintf(line, sizeof line, "%-7s %-17s %-11s %-25s %-8s %s\n",
                          (std::string(1, c.letter) + ":").c_str(), printable(c.serial).c_str(),
                          model.c_str(), printable(c.firmware()).c_str(),
                          c.battery < 0 ? "-" : std::to_string(c.battery).c_str(),
                          c.storageExposed ? "exposed" : "-");
            std::cout << line;
        }
    }
    if (cameras.empty())
        s.fail(kExitNoCamera, "no camera found on C: to Z:");
}

bool checkGet(Session& s, Invocation& in) {
    if (in.record != "all" && !knownRecord(in.record)) {
        s.fail(kExitUsage, "unknown record " + in.record);
        return false;
    }
    return true;
}

void getRecords(Session& s, Invocation& in, const std::vector<Camera>& cameras) {
    const std::string& wanted = in.record;
    for (const Camera& c : cameras) {
        Json::Value result = c.identity();
        Json::Value records(Json::objectValue);
        std::string why;
        const std::vector<Record> all = recordsFor(c.spec);
        std::vector<const Record*> chosen;
        for (const Record& r : all) {
            if (wanted == "all" || r.name == wanted)
                chosen.push_back(&r);
        }
        if (chosen.empty())
            why = "a camera of model " + std::to_string(c.spec.modelCode) + " has no " + wanted;
        if (!s.options().json)
            std::cout << printable(cameraLabel(c)) << " (model " << int(c.spec.modelCode)
                      << (c.modelName().empty() ? "" : " " + c.modelName()) << ")\n";
        for (const Record* r : chosen) {
            Bytes bytes;
            if (!readRecord(c.handle(), *r, bytes, why))
                break;
            Json::Value fields(Json::objectValue);
            for (const Field& f : r->fields) {
                const bool hide = f.secret && !s.options().showSecrets;
                fields[f.name] = hide ? hiddenValue() : fieldValue(f, bytes);
                if (!s.options().json)
                    std::cout << "  " << r->name << "." << f.name << " = "
                              << (hide ? "(hidden)" : printable(valueText(fields[f.name]))) << "\n";
            }
            records[r->name] = fields;
        }
        result["records"] = records;
        if (why.empty())
            result["status"] = "ok";
        else
            s.failCamera(c, result, why);
        s.addResult(result);
    }
}

bool checkSet(Session& s, Invocation& in) {
    if (!knownRecord(in.record)) {
        s.fail(kExitUsage, "unknown record " + in.record);
        return false;
    }
    FieldValues values;
    for (const std::string& a : in.assignments) {
        std::string field, value;
        if (!splitAssignment(a, field, value)) {
            s.fail(kExitUsage, "expected FIELD=VALUE, got " + a);
            return false;
        }
        if (isSecretField(in.record, field)) {
            std::optional<std::string> secret = secretValue(s, in, field, value);
            if (!secret)
                return false;
            value = *secret;
        }
        values[field] = value;
    }
    in.wanted = {{in.record, values}};
    return true;
}

bool checkApply(Session& s, Invocation& in) {
    if (std::optional<std::string> error = loadProfile(in.profile, in.wanted)) {
        s.fail(kExitUsage, *error);
        return false;
    }
    return true;
}

void applyWanted(Session& s, Invocation& in, const std::vector<Camera>& cameras) {
    // A profile may carry the read-only fields that get shows; on the command line they are
    // refused.
    applyValues(s, cameras, in.wanted, !in.profile.empty());
}

}  // namespace cli
