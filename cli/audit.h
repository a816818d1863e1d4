// The audit log: one JSON line per write attempted on a camera, appended to
// $XDG_STATE_HOME/dalvex/audit.log (~/.local/state/dalvex/audit.log) or to a file of the user's
// choice. Each line is written with one write() on a descriptor opened for appending, so lines
// of several processes never mix.
#pragma once

#include <json/json.h>

#include <string>

namespace cli {

// The time now as strftime's format gives it, in UTC or in local time.
std::string formatNow(const char* format, bool utc);

struct AuditChange {
    std::string field;
    Json::Value before;  // null when there is no value to show
    Json::Value after;
    bool secret = false;  // a password: its values are never written
};

class AuditLog {
  public:
    explicit AuditLog(std::string path) : path_(std::move(path)) {}

    // The default path; empty when neither XDG_STATE_HOME nor HOME is set.
    static std::string defaultPath();

    // Whether a line could be appended now: opens the file (creating it and its folder) and
    // closes it. Returns an error text, or "" when it can.
    std::string check() const;

    // Appends one line. Returns an error text, or "" on success.
    std::string append(const std::string& serial, char letter, const std::string& record,
                       const std::vector<AuditChange>& changes, const std::string& outcome);

  private:
    // Opens the log for appending; -1 with the error text set.
    int open(std::string& error) const;

    std::string path_;
};

}  // namespace cli
