#include "profile.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace cli {

std::optional<std::string> loadProfile(const std::string& path, WantedRecords& wanted) {
    std::ifstream in(path, std::ios::binary);
    // A profile is a few kilobytes; a larger file is no profile, and is not read into memory.
    const bool opened = bool(in);
    std::string text;
    if (opened) {
        text.resize(kMaxProfileBytes + 1);
        in.read(text.data(), std::streamsize(text.size()));
        text.resize(size_t(in.gcount()));
        if (text.size() > kMaxProfileBytes)
            return "the profile " + path + " is larger than " +
                   std::to_string(kMaxProfileBytes / 1024) + " KiB";
    }
    std::istringstream document(text);
    Json::Value profile;
    Json::CharReaderBuilder builder;
    // One object and nothing after it: a profile cut short or pasted twice is not applied.
    builder["failIfExtra"] = true;
    builder["rejectDupKeys"] = true;
    std::string errors;
    bool parsed = false;
    try {
        parsed = opened && Json::parseFromStream(builder, document, &profile, &errors);
    } catch (const Json::Exception& e) {
        errors = e.what();  // nesting deeper than the reader allows
    }
    std::replace(errors.begin(), errors.end(), '\n', ' ');
    if (!parsed || !profile.isObject()) {
        const std::string why = !opened ? "no such file" : !parsed ? errors : "not a JSON object";
        return "cannot read the profile " + path + ": " + why;
    }
    // The profile is the JSON of get: its whole output for one camera, one camera's object, or
    // the records alone.
    if (profile.isMember("cameras")) {
        const Json::Value cameras = profile["cameras"];
        if (!cameras.isArray() || cameras.size() != 1)
            return "the profile " + path + " must hold exactly one camera";
        profile = cameras[0];
        if (!profile.isObject())
            return "the profile " + path + " holds a camera that is not a JSON object";
    }
    const Json::Value records = profile.isMember("records") ? profile["records"] : profile;
    if (!records.isObject())
        return "the profile " + path + " holds records that are not a JSON object";
    for (const std::string& name : records.getMemberNames()) {
        if (!knownRecord(name) || !records[name].isObject())
            return "the profile names no record called " + name;
        for (const std::string& field : records[name].getMemberNames())
            wanted[name][field] = records[name][field];
    }
    return std::nullopt;
}

}  // namespace cli
