// The commands that talk to cameras. Each reports through the session and returns nothing; the
// session holds the exit code.
#pragma once

#include <string>
#include <vector>

#include "session.h"

namespace cli {

void listCameras(Session& s);
void getRecords(Session& s, const std::string& record);
void setFields(Session& s, const std::string& record, const std::vector<std::string>& assignments);
void applyProfile(Session& s, const std::string& path);
void syncTime(Session& s);
void formatCards(Session& s);
void rebootCameras(Session& s);
void switchStorage(Session& s, const std::string& direction);
void changePassword(Session& s, const std::string& kind);

}  // namespace cli
