#include "profile.h"

#include <algorithm>
#include <fstream>

namespace cli {

std::optional<std::string> loadProfile(const std::string& path, WantedRecords& wanted) {
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
        return "cannot read the profile " + path + ": " + why;
    }
    // The profile is the JSON of get: its whole output for one camera, one camera's object, or
    // the records alone.
    if (profile.isMember("cameras")) {
        const Json::Value cameras = profile["cameras"];
        if (!cameras.isArray() || cameras.size() != 1)
            return "the profile " + path + " must hold exactly one camera";
        profile = cameras[0];
    }
    const Json::Value records = profile.isMember("records") ? profile["records"] : profile;
    for (const std::string& name : records.getMemberNames()) {
        if (!knownRecord(name) || !records[name].isObject())
            return "the profile names no record called " + name;
        for (const std::string& field : records[name].getMemberNames())
            wanted[name][field] = records[name][field];
    }
    return std::nullopt;
}

}  // namespace cli
