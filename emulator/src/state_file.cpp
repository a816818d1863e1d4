#include "camsim/state_file.h"

#include <json/json.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "safe_write.h"

namespace camsim {

namespace {

std::string toHex(const std::vector<uint8_t>& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (uint8_t b : bytes) {
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 15]);
    }
    return out;
}

bool fromHex(const std::string& text, std::vector<uint8_t>& bytes) {
    if (text.size() % 2)
        return false;
    bytes.clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        unsigned v = 0;
        if (std::sscanf(text.c_str() + i, "%2x", &v) != 1)
            return false;
        bytes.push_back(uint8_t(v));
    }
    return true;
}

bool readState(const Json::Value& root, CameraState& state) {
    state.description = root.get("description", state.description).asString();
    state.serial = root.get("serial", state.serial).asString();
    state.firmware = root.get("firmware", state.firmware).asString();
    state.buildVersion = root.get("buildVersion", state.buildVersion).asString();
    state.modelCode = uint8_t(root.get("modelCode", state.modelCode).asUInt());
    state.wifiFlag = uint8_t(root.get("wifiFlag", state.wifiFlag).asUInt());
    state.noCmsFlag = uint8_t(root.get("noCmsFlag", state.noCmsFlag).asUInt());
    state.cardCapacityMiB =
        root.get("cardCapacityMiB", Json::UInt64(state.cardCapacityMiB)).asUInt64();
    state.loginPassword = root.get("loginPassword", state.loginPassword).asString();
    state.browsePassword = root.get("browsePassword", state.browsePassword).asString();
    state.userPassword = root.get("userPassword", state.userPassword).asString();
    state.adminPassword = root.get("adminPassword", state.adminPassword).asString();
    state.noLoginCheck = uint8_t(root.get("noLoginCheck", state.noLoginCheck).asUInt());
    state.noWifiPassword = uint8_t(root.get("noWifiPassword", state.noWifiPassword).asUInt());
    state.version = uint16_t(root.get("version", state.version).asUInt());
    state.battery = root.get("battery", state.battery).asInt();
    state.freeSpaceMiB = root.get("freeSpaceMiB", Json::UInt64(state.freeSpaceMiB)).asUInt64();
    state.formatPolls = root.get("formatPolls", state.formatPolls).asInt();
    state.rebootMilliseconds = root.get("rebootMilliseconds", state.rebootMilliseconds).asInt();
    state.shutdownMilliseconds =
        root.get("shutdownMilliseconds", state.shutdownMilliseconds).asInt();
    state.copyFinished = root.get("copyFinished", Json::UInt64(state.copyFinished)).asUInt64();
    state.clockSet = root.get("clockSet", state.clockSet).asBool();
    state.clockOffsetSeconds =
        root.get("clockOffsetSeconds", Json::Int64(state.clockOffsetSeconds)).asInt64();
    state.menuList = root.get("menuList", state.menuList).asString();
    state.jsonConfig = root.get("jsonConfig", state.jsonConfig).asString();
    state.jsonAnswer = root.get("jsonAnswer", state.jsonAnswer).asString();
    const Json::Value& records = root["records"];
    if (records.isObject()) {
        for (const auto& name : records.getMemberNames()) {
            std::vector<uint8_t> bytes;
            if (!fromHex(records[name].asString(), bytes))
                return false;
            const unsigned long sub = std::stoul(name, nullptr, 16);
            if (sub > 0xFFFF)
                return false;
            state.records[uint16_t(sub)] = bytes;
        }
    }
    return true;
}

}  // namespace

bool loadState(const std::string& path, CameraState& state) {
    std::ifstream in(path);
    if (!in)
        return access(path.c_str(), F_OK) != 0;  // absent: keep the defaults
    Json::Value root;
    Json::CharReaderBuilder builder;
    std::string errors;
    if (!Json::parseFromStream(builder, in, &root, &errors) || !root.isObject())
        return false;
    // A value of the wrong type makes jsoncpp throw: the file is then not a state file.
    CameraState loaded = state;
    try {
        if (!readState(root, loaded))
            return false;
    } catch (const std::exception&) {
        return false;
    }
    state = std::move(loaded);
    return true;
}

bool saveState(const std::string& path, const CameraState& state) {
    Json::Value root;
    root["description"] = state.description;
    root["serial"] = state.serial;
    root["firmware"] = state.firmware;
    root["buildVersion"] = state.buildVersion;
    root["modelCode"] = state.modelCode;
    root["wifiFlag"] = state.wifiFlag;
    root["noCmsFlag"] = state.noCmsFlag;
    root["cardCapacityMiB"] = Json::UInt64(state.cardCapacityMiB);
    root["loginPassword"] = state.loginPassword;
    root["browsePassword"] = state.browsePassword;
    root["userPassword"] = state.userPassword;
    root["adminPassword"] = state.adminPassword;
    root["noLoginCheck"] = state.noLoginCheck;
    root["noWifiPassword"] = state.noWifiPassword;
    root["version"] = state.version;
    root["battery"] = state.battery;
    root["freeSpaceMiB"] = Json::UInt64(state.freeSpaceMiB);
    root["formatPolls"] = state.formatPolls;
    root["rebootMilliseconds"] = state.rebootMilliseconds;
    root["shutdownMilliseconds"] = state.shutdownMilliseconds;
    root["copyFinished"] = Json::UInt64(state.copyFinished);
    root["clockSet"] = state.clockSet;
    root["clockOffsetSeconds"] = Json::Int64(state.clockOffsetSeconds);
    root["menuList"] = state.menuList;
    root["jsonConfig"] = state.jsonConfig;
    root["jsonAnswer"] = state.jsonAnswer;
    Json::Value records(Json::objectValue);
    for (const auto& [sub, bytes] : state.records) {
        char name[8];
        std::snprintf(name, sizeof name, "%04X", sub);
        records[name] = toHex(bytes);
    }
    root["records"] = records;

    Json::StreamWriterBuilder writer;
    return writeFileSafely(path, Json::writeString(writer, root) + "\n");
}

}  // namespace camsim
