#include "record_plan.h"

namespace cli {

namespace {

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
        if ((f->kind == FieldKind::kReadOnly && skipReadOnly) || (f->secret && isHidden(value)))
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
    std::vector<AuditChange> changes;
    for (const Field* f : w.changed)
        changes.push_back({f->name, fieldValue(*f, w.before), fieldValue(*f, w.after), f->secret});
    if (!s.auditAttempt(c, w.record->name, changes)) {
        why = "nothing was sent: the audit log cannot take its line";
        return false;
    }
    const dalvex::Camera camera = c.handle();
    w.record->write(camera, w.after);  // the read-back decides
    Bytes back;
    const bool read = w.record->read(camera, back);
    std::vector<std::string> lost;
    for (const Field* f : w.changed) {
        if (!read || fieldValue(*f, back) != fieldValue(*f, w.after))
            lost.push_back(f->name);
    }
    s.audit(c, w.record->name, changes, lost.empty());
    if (lost.empty())
        return true;
    why = "the camera did not keep " + w.record->name + ".";
    for (size_t i = 0; i < lost.size(); ++i)
        why += (i ? ", " : "") + lost[i];
    return false;
}

// Writes the planned changes of one camera, stopping at the first record it did not keep.
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

// Plans every wanted record of one camera; an error text when one cannot be planned.
std::string planCamera(const Camera& c, const std::vector<Record>& all, const WantedRecords& wanted,
                       bool skipReadOnly, std::vector<PlannedWrite>& writes) {
    std::string why;
    for (const auto& [name, values] : wanted) {
        const Record* r = findRecord(all, name);
        Bytes current;
        PlannedWrite w;
        if (r == nullptr) {
            why = "a camera of model " + std::to_string(c.spec.modelCode) + " has no " + name;
        } else if (readRecord(c.handle(), *r, current, why)) {
            if (std::optional<std::string> error = plan(*r, current, values, skipReadOnly, w))
                why = *error;
        }
        if (!why.empty())
            return why;
        writes.push_back(w);
    }
    return why;
}

}  // namespace

bool knownRecord(const std::string& name) {
    for (const std::string& r : allRecordNames()) {
        if (r == name)
            return true;
    }
    return false;
}

const Record* findRecord(const std::vector<Record>& records, const std::string& name) {
    for (const Record& r : records) {
        if (r.name == name)
            return &r;
    }
    return nullptr;
}

bool readRecord(const dalvex::Camera& camera, const Record& r, Bytes& bytes, std::string& why) {
    if (!r.read(camera, bytes)) {
        why = "cannot read " + r.name;
        return false;
    }
    return true;
}

void applyValues(Session& s, const std::vector<Camera>& cameras, const WantedRecords& wanted,
                 bool skipReadOnly) {
    for (const Camera& c : cameras) {
        Json::Value result = c.identity();
        const std::vector<Record> all = recordsFor(c.spec);
        std::vector<PlannedWrite> writes;
        const std::string why = planCamera(c, all, wanted, skipReadOnly, writes);
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

}  // namespace cli
