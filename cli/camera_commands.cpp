#include "camera_commands.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <fstream>
#include <iostream>
#include <map>
#include <thread>

#include "fields.h"
#include "password_rules.h"

namespace cli {

namespace {

constexpr int kFormatPolls = 120;        // a second each
constexpr int kRestartWaitSeconds = 30;  // for a reboot or a storage switch

const Record* findRecord(const std::vector<Record>& records, const std::string& name) {
    for (const Record& r : records) {
        if (r.name == name)
            return &r;
    }
    return nullptr;
}

bool knownRecord(const std::string& name) {
    for (const std::string& r : allRecordNames()) {
        if (r == name)
            return true;
    }
    return false;
}

// Field name to value, for one record.
using FieldValues = std::map<std::string, Json::Value>;

struct PlannedWrite {
    const Record* record;
    Bytes before;
    Bytes after;
    std::vector<const Field*> changed;
};

// Builds the new record from the camera's current one and the given values. Only fields whose
// shown value changes are listed; an error names the field that cannot take its value.
std::optional<std::string> plan(const Record& record, const Bytes& current,
                                const FieldValues& values, bool skipReadOnly, PlannedWrite& out) {
    out.record = &record;
    out.before = current;
    out.after = current;
    for (const auto& [name, value] : values) {
        const Field* f = record.field(name);
        if (f == nullptr)
            return record.name + " has no field " + name;
        if (f->kind == FieldKind::kReadOnly && skipReadOnly)
            continue;
        if (std::optional<std::string> error = storeValue(*f, value, out.after))
            return record.name + "." + name + " " + *error;
        if (fieldValue(*f, out.after) != fieldValue(*f, current))
            out.changed.push_back(f);
    }
    return std::nullopt;
}

std::string changeLine(const Camera& c, const PlannedWrite& w, const Field& f) {
    const std::string shown = f.secret ? "(hidden)" : "";
    return std::string(1, c.letter) + ": " + w.record->name + "." + f.name + ": " +
           (f.secret ? shown : valueText(fieldValue(f, w.before))) + " -> " +
           (f.secret ? shown : valueText(fieldValue(f, w.after)));
}

Json::Value changesJson(const PlannedWrite& w) {
    Json::Value changes(Json::objectValue);
    for (const Field* f : w.changed) {
        Json::Value c(Json::objectValue);
        c["old"] = f->secret ? Json::Value() : fieldValue(*f, w.before);
        c["new"] = f->secret ? Json::Value() : fieldValue(*f, w.after);
        changes[f->name] = c;
    }
    return changes;
}

// Writes the record, reads it back and checks every changed field. Audits the attempt.
bool carryOut(Session& s, const Camera& c, const PlannedWrite& w, std::string& why) {
    w.record->write(w.after);  // the read-back decides
    Bytes back;
    const bool read = w.record->read(back);
    std::vector<std::string> lost;
    for (const Field* f : w.changed) {
        if (!read || fieldValue(*f, back) != fieldValue(*f, w.after))
            lost.push_back(f->name);
    }
    std::vector<AuditChange> changes;
    for (const Field* f : w.changed)
        changes.push_back({f->name, fieldValue(*f, w.before), fieldValue(*f, w.after), f->secret});
    s.audit(c, w.record->name, changes, lost.empty());
    if (lost.empty())
        return true;
    why = "the camera did not keep " + w.record->name + ".";
    for (size_t i = 0; i < lost.size(); ++i)
        why += (i ? ", " : "") + lost[i];
    return false;
}

// Reads a record of the selected camera into bytes; false with a reason.
bool readRecord(const Record& r, Bytes& bytes, std::string& why) {
    if (!r.read(bytes)) {
        why = "cannot read " + r.name;
        return false;
    }
    return true;
}

// Applies planned changes per camera (set and apply share this).
void writeAll(Session& s, const Camera& c, const std::vector<PlannedWrite>& writes,
              Json::Value& result) {
    bool ok = true;
    std::string why;
    for (const PlannedWrite& w : writes) {
        if (w.changed.empty())
            continue;
        if (!carryOut(s, c, w, why)) {
            ok = false;
            break;
        }
    }
    if (ok) {
        result["status"] = "ok";
        s.say(cameraLabel(c) + ": written and verified");
    } else {
        s.failCamera(c, result, why);
    }
}

// Splits FIELD=VALUE.
bool splitAssignment(const std::string& text, std::string& field, std::string& value) {
    const size_t eq = text.find('=');
    if (eq == std::string::npos || eq == 0)
        return false;
    field = text.substr(0, eq);
    value = text.substr(eq + 1);
    return true;
}

bool waitForCamera(Session& s, const Camera& c, const char* what) {
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    for (int second = 0; second < kRestartWaitSeconds * 4; ++second) {
        if (cameraPresent(c.letter))
            return true;
        if (second % 4 == 0)
            s.say(std::string(1, c.letter) + ": " + what + " (" + std::to_string(second / 4) +
                  " s)");
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
    return false;
}

// Runs one action per camera after the login: the action returns an error text or "".
template <typename Action>
void forEachCamera(Session& s, const std::vector<Camera>& cameras, const std::string& record,
                   Action action) {
    if (!s.auditReady())
        return;
    for (const Camera& c : cameras) {
        Json::Value result = c.identity();
        selectCamera(c.letter);
        std::vector<AuditChange> changes;
        const std::string error = action(c, changes);
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

// Brings the records of the target cameras to the wanted values: prints the differences, then
// writes each changed record and checks it (unless dry-running). Read-only fields are skipped
// when a profile carries them, refused when named on the command line.
void applyValues(Session& s, const std::map<std::string, FieldValues>& wanted, bool skipReadOnly) {
    const std::vector<Camera> cameras = s.targets(false);
    if (cameras.empty() || !s.login(cameras) || (!s.options().dryRun && !s.auditReady()))
        return;
    for (const Camera& c : cameras) {
        selectCamera(c.letter);
        Json::Value result = c.identity();
        const std::vector<Record> all = recordsFor(c.spec);
        std::vector<PlannedWrite> writes;
        std::string why;
        for (const auto& [name, values] : wanted) {
            const Record* r = findRecord(all, name);
            Bytes current;
            PlannedWrite w;
            if (r == nullptr) {
                why = "a camera of model " + std::to_string(c.spec.modelCode) + " has no " + name;
            } else if (readRecord(*r, current, why)) {
                if (std::optional<std::string> error = plan(*r, current, values, skipReadOnly, w))
                    why = *error;
            }
            if (!why.empty())
                break;
            writes.push_back(w);
        }
        if (!why.empty()) {
            s.failCamera(c, result, why);
            s.addResult(result);
            continue;
        }
        bool any = false;
        for (const PlannedWrite& w : writes) {
            if (w.changed.empty())
                continue;
            any = true;
            result["changes"][w.record->name] = changesJson(w);
            for (const Field* f : w.changed)
                s.say(changeLine(c, w, *f));
        }
        if (!any) {
            result["status"] = "unchanged";
            s.say(cameraLabel(c) + ": nothing to change, nothing written");
        } else if (s.options().dryRun) {
            result["status"] = "dry-run";
            s.say(cameraLabel(c) + ": dry run, nothing written");
        } else {
            writeAll(s, c, writes, result);
        }
        s.addResult(result);
    }
}

}  // namespace

void listCameras(Session& s) {
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
                          (std::string(1, c.letter) + ":").c_str(), c.serial.c_str(), model.c_str(),
                          c.firmware().c_str(),
                          c.battery < 0 ? "-" : std::to_string(c.battery).c_str(),
                          c.storageExposed ? "exposed" : "-");
            std::cout << line;
        }
    }
    if (cameras.empty())
        s.fail(kExitNoCamera, "no camera found on C: to Z:");
}

void getRecords(Session& s, const std::string& wanted) {
    if (wanted != "all" && !knownRecord(wanted)) {
        s.fail(kExitUsage, "unknown record " + wanted);
        return;
    }
    const std::vector<Camera> cameras = s.targets(true);
    if (cameras.empty() || !s.login(cameras))
        return;
    for (const Camera& c : cameras) {
        selectCamera(c.letter);
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
            std::cout << cameraLabel(c) << " (model " << int(c.spec.modelCode)
                      << (c.modelName().empty() ? "" : " " + c.modelName()) << ")\n";
        for (const Record* r : chosen) {
            Bytes bytes;
            if (!readRecord(*r, bytes, why))
                break;
            Json::Value fields(Json::objectValue);
            for (const Field& f : r->fields) {
                fields[f.name] = fieldValue(f, bytes);
                if (!s.options().json)
                    std::cout << "  " << r->name << "." << f.name << " = "
                              << valueText(fields[f.name]) << "\n";
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

void setFields(Session& s, const std::string& recordName,
               const std::vector<std::string>& assignments) {
    if (!knownRecord(recordName)) {
        s.fail(kExitUsage, "unknown record " + recordName);
        return;
    }
    FieldValues values;
    for (const std::string& a : assignments) {
        std::string field, value;
        if (!splitAssignment(a, field, value)) {
            s.fail(kExitUsage, "expected FIELD=VALUE, got " + a);
            return;
        }
        values[field] = value;
    }
    applyValues(s, {{recordName, values}}, false);
}

void applyProfile(Session& s, const std::string& path) {
    std::ifstream in(path);
    Json::Value profile;
    Json::CharReaderBuilder builder;
    // One object and nothing after it: a profile cut short or pasted twice is not applied.
    builder["failIfExtra"] = true;
    builder["rejectDupKeys"] = true;
    std::string errors;
    bool parsed = false;
    try {
        parsed = in && Json::parseFromStream(builder, in, &profile, &errors);
    } catch (const Json::Exception& e) {
        errors = e.what();  // nesting deeper than the reader allows
    }
    std::replace(errors.begin(), errors.end(), '\n', ' ');
    if (!parsed || !profile.isObject()) {
        const std::string why = !in ? "no such file" : !parsed ? errors : "not a JSON object";
        s.fail(kExitUsage, "cannot read the profile " + path + ": " + why);
        return;
    }
    // The profile is the JSON of get: its whole output for one camera, one camera's object, or
    // the records alone.
    if (profile.isMember("cameras")) {
        const Json::Value cameras = profile["cameras"];
        if (!cameras.isArray() || cameras.size() != 1) {
            s.fail(kExitUsage, "the profile " + path + " must hold exactly one camera");
            return;
        }
        profile = cameras[0];
    }
    const Json::Value records = profile.isMember("records") ? profile["records"] : profile;
    std::map<std::string, FieldValues> wanted;
    for (const std::string& name : records.getMemberNames()) {
        if (!knownRecord(name) || !records[name].isObject()) {
            s.fail(kExitUsage, "the profile names no record called " + name);
            return;
        }
        for (const std::string& field : records[name].getMemberNames())
            wanted[name][field] = records[name][field];
    }
    applyValues(s, wanted, true);
}

void syncTime(Session& s) {
    const std::vector<Camera> cameras = s.targets(false);
    if (cameras.empty() || !s.login(cameras))
        return;
    forEachCamera(s, cameras, "time", [](const Camera&, std::vector<AuditChange>& changes) {
        changes.push_back({"clock", Json::Value(), formatNow("%Y-%m-%d %H:%M:%S", false)});
        return TKUSB_SetTime() ? std::string() : "the camera refused the time";
    });
}

void formatCards(Session& s) {
    const std::vector<Camera> cameras = s.targets(false);
    if (cameras.empty())
        return;
    if (!s.options().yes) {
        if (!isatty(STDIN_FILENO)) {
            s.fail(kExitUsage, "format erases every recording: confirm with --yes");
            return;
        }
        std::cerr << "Format the card of";
        for (const Camera& c : cameras)
            std::cerr << " " << cameraLabel(c);
        std::cerr << "? Every recording is erased. [y/N] ";
        std::string answer;
        std::getline(std::cin, answer);
        if (answer != "y" && answer != "Y" && answer != "yes") {
            s.fail(kExitUsage, "format not confirmed, nothing done");
            return;
        }
    }
    if (!s.login(cameras))
        return;
    forEachCamera(s, cameras, "format", [&s](const Camera& c, std::vector<AuditChange>&) {
        if (!TKUSB_Format())
            return std::string("the camera refused to format");
        for (int poll = 1; poll <= kFormatPolls; ++poll) {
            std::this_thread::sleep_for(std::chrono::seconds(1));
            if (TKUSB_Get_FormatStatus())
                return std::string();
            s.say(std::string(1, c.letter) + ": formatting (" + std::to_string(poll) + " s)");
        }
        return std::string("the format did not finish within ") + std::to_string(kFormatPolls) +
               " s";
    });
}

void rebootCameras(Session& s) {
    const std::vector<Camera> cameras = s.targets(false);
    if (cameras.empty() || !s.login(cameras))
        return;
    forEachCamera(s, cameras, "reboot", [&s](const Camera& c, std::vector<AuditChange>&) {
        if (!TKUSB_Reboot())
            return std::string("the camera refused to restart");
        if (!waitForCamera(s, c, "restarting"))
            return std::string("the camera did not come back within ") +
                   std::to_string(kRestartWaitSeconds) + " s";
        return std::string();
    });
}

void switchStorage(Session& s, const std::string& direction) {
    if (direction != "expose" && direction != "release") {
        s.fail(kExitUsage, "storage takes expose or release");
        return;
    }
    const std::vector<Camera> cameras = s.targets(false);
    if (cameras.empty() || !s.login(cameras))
        return;
    const std::string password = s.loginPassword();
    forEachCamera(s, cameras, "storage", [&](const Camera& c, std::vector<AuditChange>& changes) {
        changes.push_back({"storage", c.storageExposed ? "exposed" : "released",
                           direction == "expose" ? "exposed" : "released"});
        const bool done = direction == "expose"
                              ? TKUSB_SwitchToMSC_Ex(password.c_str(), 0, c.letter) != 0
                              : TKUSB_SetCopyFileFinish(c.letter, password.c_str()) != 0;
        if (!done)
            return std::string("the camera refused the storage ") + direction;
        return std::string();
    });
}

void changePassword(Session& s, const std::string& kind) {
    const std::map<std::string, size_t> lengths = {{"login", passwords::kLoginLength},
                                                   {"browse", passwords::kBrowseLength},
                                                   {"user", passwords::kUserLength},
                                                   {"admin", passwords::kAdminLength}};
    if (!lengths.contains(kind)) {
        s.fail(kExitUsage, "password change takes login, browse, user or admin");
        return;
    }
    const std::vector<Camera> cameras = s.targets(false);
    if (cameras.empty() || !s.login(cameras))
        return;
    std::optional<std::string> current;
    if (kind == "user" || kind == "admin") {
        current = s.secrets().get(
            kind == "user" ? "Current user password: " : "Current administrator password: ",
            "DALVEX_OLD_PASSWORD");
        if (!current) {
            s.fail(kExitUsage, "no current " + kind + " password given");
            return;
        }
    }
    std::optional<std::string> next = s.secrets().get("New password: ", "DALVEX_NEW_PASSWORD");
    if (next && s.options().passwordFd < 0 && std::getenv("DALVEX_NEW_PASSWORD") == nullptr) {
        const std::optional<std::string> again = promptHidden("Repeat the new password: ");
        if (again != next) {
            s.fail(kExitUsage, "the two new passwords differ, nothing written");
            return;
        }
    }
    const size_t length = lengths.at(kind);
    if (!next || next->size() != length) {
        s.fail(kExitUsage,
               "the new " + kind + " password must have " + std::to_string(length) + " characters");
        return;
    }
    const std::string login = s.loginPassword();
    forEachCamera(s, cameras, "password", [&](const Camera&, std::vector<AuditChange>& changes) {
        changes.push_back({kind, Json::Value(), Json::Value(), true});
        int done = 0;
        if (kind == "login")
            done = TKUSB_ChangeLoginPwd(login.c_str(), next->c_str());
        else if (kind == "browse")
            done = TKUSB_ChangeBrowsePwd(next->c_str(), next->c_str());
        else if (kind == "user")
            done = TKUSB_Change5Pwd(current->c_str(), next->c_str());
        else
            done = TKUSB_StartAdminPwd(current->c_str(), 6) &&
                   TKUSB_ChangeNewAdminPwd(next->c_str(), 6);
        return done ? std::string() : "the camera refused the new " + kind + " password";
    });
}

}  // namespace cli
