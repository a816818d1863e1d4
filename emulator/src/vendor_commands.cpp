// The vendor command set of a camera beyond identity: settings records, passwords, actions, the
// clock, the menu list and the JSON channel. Every handler sees a command whose direction and
// length already match the catalogue; anything else is refused with CHECK CONDITION.
#include <json/json.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <sstream>

#include "byte_order.h"
#include "camera_models.h"
#include "camsim/camera_model.h"

namespace camsim {

namespace bytes = dalvex::bytes;

namespace {

using Handlers = std::map<uint16_t, CameraModel::Handler>;

constexpr uint32_t kFormatBusy = 0x0FF0;
constexpr uint32_t kFormatDone = 0xDCBA;
constexpr uint8_t kActionByte = 0x61;
constexpr uint8_t kCopyFinishedByte = 0x36;
constexpr uint8_t kMenuListMarker = 0x42;

// Record sizes and where the host puts things in them.
constexpr size_t kPasswordField = 8;
constexpr size_t kPasswordOffset = 8;
constexpr size_t kNewPasswordOffset = 16;
constexpr size_t kModeAOffset = 24;
constexpr size_t kModeBOffset = 25;

Reply good() {
    return Reply{};
}
Reply refuse() {
    return Reply{kStatusCheckCondition, {}, 0};
}
Reply answer(std::vector<uint8_t> data) {
    return Reply{kStatusGood, std::move(data), 0};
}

std::vector<uint8_t> payload(const Command& command) {
    return std::vector<uint8_t>(command.dataOut, command.dataOut + command.length);
}

// A text field: up to its first NUL, never past its width.
std::string field(const uint8_t* data, size_t width) {
    const char* text = reinterpret_cast<const char*>(data);
    return std::string(text, strnlen(text, width));
}

void putText(std::vector<uint8_t>& block, size_t offset, size_t width, const std::string& text) {
    std::memcpy(block.data() + offset, text.data(), std::min(width, text.size()));
}

// ---- defaults --------------------------------------------------------------------------------

std::vector<uint8_t> rk20Defaults() {
    std::vector<uint8_t> record(32, 0);
    const uint8_t values[17] = {
        1,  // resolution
        1,  // recordOverwrite
        1,  // recordFileSize
        0,  // motionDetection
        2,  // gsensor
        0,  // overSpeedRecording
        1,  // preRecord
        0,  // carMode
        0,  // autoPowerOff
        0,  // dateFormat
        1,  // gpsAutoUpdateTime
        8,  // gmtSetup
        0,  // dstSetup
        0,  // language
        2,  // volume
        1,  // indicator
        1,  // videoOn
    };
    std::memcpy(record.data(), values, sizeof values);
    return record;
}

std::vector<uint8_t> defaultRecord(uint16_t readSub, size_t size) {
    std::vector<uint8_t> record(size, 0);
    switch (readSub) {
        case 0xF205:  // user information
            putText(record, 0, 12, "0000001");
            putText(record, 12, 32, "Emulated Unit");
            putText(record, 44, 12, "D-001");
            putText(record, 56, 32, "Officer");
            putText(record, 88, 12, "100001");
            break;
        case 0xF206:  // video, photo, segment length
            record[0] = 1;
            record[1] = 2;
            record[2] = 2;
            break;
        case 0xF218:
            return rk20Defaults();
        default:
            break;
    }
    return record;
}

std::vector<uint8_t> stored(CameraState& s, uint16_t readSub, size_t size) {
    auto it = s.records.find(readSub);
    if (it == s.records.end() || it->second.size() != size) {
        return defaultRecord(readSub, size);
    }
    return it->second;
}

// A record the host writes whole and reads back as written.
void plainRecord(Handlers& handlers, uint16_t readSub, uint16_t writeSub, size_t size) {
    handlers[readSub] = [readSub, size](CameraState& s, const Command&) {
        return answer(stored(s, readSub, size));
    };
    handlers[writeSub] = [readSub](CameraState& s, const Command& c) {
        s.records[readSub] = payload(c);
        return good();
    };
}

// ---- clock -----------------------------------------------------------------------------------

int64_t utcNow() {
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

std::tm cameraTime(const CameraState& s) {
    std::tm tm{};
    if (!s.clockSet) {
        const time_t now = time_t(utcNow());
        localtime_r(&now, &tm);
    } else {
        const time_t t = time_t(utcNow() + s.clockOffsetSeconds);
        gmtime_r(&t, &tm);
    }
    return tm;
}

Reply setClock(CameraState& s, const Command& c) {
    using namespace std::chrono;
    const uint32_t date = bytes::loadLe32(c.dataOut);
    const uint32_t time = bytes::loadLe32(c.dataOut + 4);
    // The year is checked as a number first: std::chrono::year holds 16 bits only.
    const uint32_t yearNumber = date / 10000;
    const year_month_day day{year(int(std::min(yearNumber, 9999u))), month(date / 100 % 100),
                             std::chrono::day(date % 100)};
    const uint32_t hour = time / 10000, minute = time / 100 % 100, second = time % 100;
    // ok() turns away 31 June and 29 February of a common year as well as month 13.
    if (yearNumber < 1970 || yearNumber > 2099 || !day.ok() || hour > 23 || minute > 59 ||
        second > 59) {
        return refuse();
    }
    const auto t = sys_days(day) + hours(hour) + minutes(minute) + seconds(second);
    s.clockSet = true;
    s.clockOffsetSeconds = int64_t(duration_cast<seconds>(t.time_since_epoch()).count()) - utcNow();
    return good();
}

Reply readClock(CameraState& s, const Command&) {
    const std::tm tm = cameraTime(s);
    char text[32] = {};
    std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return answer(textBlock(text, 32));
}

// ---- passwords -------------------------------------------------------------------------------

std::string passwordAt(const Command& c, size_t offset) {
    return field(c.dataOut + offset, kPasswordField);
}

Reply loginRecord(CameraState& s, const Command& c) {
    const bool right = passwordAt(c, kPasswordOffset) == s.loginPassword;
    const uint8_t mode = c.dataOut[kModeAOffset];
    if (mode == 1) {  // switch to mass storage: the card replaces the command disk
        if (!right)
            return refuse();
        s.massStorage = true;
        return good();
    }
    return right || s.noLoginCheck ? good() : refuse();
}

Reply changeLogin(CameraState& s, const Command& c) {
    const std::string next = passwordAt(c, kNewPasswordOffset);
    if (passwordAt(c, kPasswordOffset) != s.loginPassword || next.empty())
        return refuse();
    s.loginPassword = next;
    return good();
}

// The host sends the new browse password and its repetition.
Reply changeBrowse(CameraState& s, const Command& c) {
    const std::string first = passwordAt(c, kPasswordOffset);
    if (first.empty() || first != passwordAt(c, kNewPasswordOffset))
        return refuse();
    s.browsePassword = first;
    return good();
}

Reply checkBrowse(CameraState& s, const Command& c) {
    return passwordAt(c, kPasswordOffset) == s.browsePassword ? good() : refuse();
}

Reply changeUser(CameraState& s, const Command& c) {
    const std::string next = passwordAt(c, kNewPasswordOffset);
    if (passwordAt(c, kPasswordOffset) != s.userPassword || next.empty())
        return refuse();
    s.userPassword = next;
    return good();
}

Reply startAdmin(CameraState& s, const Command& c) {
    if (field(c.dataOut, 6) != s.adminPassword)
        return refuse();
    s.adminUnlocked = true;
    return good();
}

Reply newAdmin(CameraState& s, const Command& c) {
    const std::string next = field(c.dataOut, 6);
    if (!s.adminUnlocked || next.empty())
        return refuse();
    s.adminPassword = next;
    return good();
}

// ---- actions ---------------------------------------------------------------------------------

// Power-on state after a restart: the command disk again, nothing unlocked, no format running.
void powerCycle(CameraState& s) {
    s.massStorage = false;
    s.adminUnlocked = false;
    s.formatPollsLeft = 0;
}

Reply actionByte(const Command& c, uint8_t expected) {
    return c.dataOut[0] == expected ? good() : refuse();
}

// ---- device records composed by the camera ----------------------------------------------------

int32_t cardCapacityField(const CameraState& s) {
    // Small early models count their card in MB, the others in GB.
    if (settings::CountsInMegabytes(s.modelCode))
        return int32_t(s.cardCapacityMiB);
    return int32_t(s.cardCapacityMiB / 1024);
}

Reply deviceSpec(CameraState& s, const Command&) {
    std::vector<uint8_t> record(52, 0);
    record[0] = s.modelCode;
    putText(record, 4, 32, s.firmware);
    record[36] = s.wifiFlag;
    record[37] = s.noCmsFlag;
    return answer(record);
}

Reply readSetting(CameraState& s, const Command&) {
    std::vector<uint8_t> record = stored(s, 0xF206, 20);
    bytes::storeLe32(&record[4], uint32_t(cardCapacityField(s)));
    bytes::storeLe32(&record[8], uint32_t(s.freeSpaceMiB));
    return answer(record);
}

// Only the three choices are the host's; capacity and free space stay the camera's.
Reply writeSetting(CameraState& s, const Command& c) {
    std::vector<uint8_t> record(20, 0);
    std::memcpy(record.data(), c.dataOut, 3);
    s.records[0xF206] = record;
    return good();
}

Reply rk20StringInfo(CameraState& s, const Command&) {
    std::vector<uint8_t> record(124, 0);
    bytes::storeLe32(&record[0], uint32_t(s.freeSpaceMiB));
    bytes::storeLe32(&record[4], uint32_t(s.cardCapacityMiB / 1024));
    const std::vector<uint8_t> user = stored(s, 0xF205, 100);
    putText(record, 8, 20, field(user.data() + 88, 12));
    putText(record, 28, 24, s.serial);
    putText(record, 52, 72, s.firmware);
    return answer(record);
}

// ---- menu list and JSON channel ---------------------------------------------------------------

std::string styled(const Json::Value& value) {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "   ";
    return Json::writeString(builder, value);
}

Json::Value menuEntries(const CameraState& s) {
    Json::Value entries(Json::arrayValue);
    std::stringstream list(s.menuList);
    std::string entry;
    while (std::getline(list, entry, ';')) {
        if (!entry.empty())
            entries.append(entry);
    }
    return entries;
}

bool parseJson(const std::string& text, Json::Value& value) {
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    return reader->parse(text.data(), text.data() + text.size(), &value, &errors);
}

// A request is a JSON object. "Get menu list" asks for the menu entries; any other member sets
// that setting, and the camera answers with all its settings.
Reply jsonRequest(CameraState& s, const Command& c) {
    Json::Value request;
    if (!parseJson(field(c.dataOut, c.length), request) || !request.isObject())
        return refuse();
    Json::Value config;
    if (!parseJson(s.jsonConfig, config) || !config.isObject())
        config = Json::objectValue;
    const Json::ArrayIndex settingsBefore = config.size();
    Json::Value reply(Json::objectValue);
    for (const std::string& name : request.getMemberNames()) {
        if (name == "Get menu list") {
            reply[name] = menuEntries(s);
        } else {
            config[name] = request[name];
        }
    }
    // A full store refuses the whole request when it would take another setting or more text
    // (a store filled beyond the bounds by an older state file may still shrink).
    std::string stored = styled(config);
    if ((config.size() > settingsBefore && config.size() > kJsonSettingsLimit) ||
        (stored.size() > s.jsonConfig.size() && stored.size() > kJsonStoreBytes))
        return refuse();
    s.jsonConfig = std::move(stored);
    if (reply.empty())
        reply = config;
    s.jsonAnswer = styled(reply);
    return good();
}

Reply menuListWrite(CameraState& s, const Command& c) {
    if (c.dataOut[0] != kMenuListMarker)
        return refuse();
    s.menuList = field(c.dataOut + 1, c.length - 1);
    return good();
}

}  // namespace

const std::vector<CatalogueEntry>& vendorCatalogue() {
    static const std::vector<CatalogueEntry> catalogue = {
        {0x3201, true, 2},    {0xF001, false, 1},    {0xF002, true, 4},    {0xF003, true, 4},
        {0xF004, false, 1},   {0xF005, false, 1},    {0xF103, true, 32},   {0xF107, false, 8},
        {0xF201, false, 48},  {0xF202, false, 48},   {0xF203, false, 48},  {0xF204, false, 100},
        {0xF205, true, 100},  {0xF206, true, 20},    {0xF207, false, 20},  {0xF208, false, 48},
        {0xF209, false, 48},  {0xF20A, false, 1},    {0xF20B, true, 4},    {0xF20C, true, 52},
        {0xF20D, true, 136},  {0xF20E, false, 136},  {0xF20F, true, 32},   {0xF210, true, 114},
        {0xF211, false, 114}, {0xF212, true, 186},   {0xF213, false, 186}, {0xF214, true, 4},
        {0xF215, false, 4},   {0xF216, false, 48},   {0xF217, false, 8},   {0xF218, true, 32},
        {0xF219, false, 32},  {0xF21B, true, 124},   {0xF21C, true, 28},   {0xF21D, false, 28},
        {0xF21E, false, 1},   {0xF21F, true, 1},     {0xF220, true, 4},    {0xF221, true, 8},
        {0xF222, true, 8},    {0xF223, false, 4},    {0xF224, true, 4},    {0xF225, true, 64},
        {0xF226, false, 64},  {0xF227, true, 32},    {0xF229, false, 1},   {0xF235, false, 1},
        {0xF236, true, 2048}, {0xF237, false, 2048}, {0xF238, true, 2048}, {0xF239, false, 2048},
        {0xF23A, true, 30},   {0xF23B, false, 2},    {0xF23D, true, 32},   {0xF23E, true, 128},
        {0xF23F, false, 128},
    };
    return catalogue;
}

void installVendorHandlers(Handlers& handlers) {
    handlers[0x3201] = [](CameraState& s, const Command&) {
        std::vector<uint8_t> data(2, 0);
        bytes::storeLe16(&data[0], s.version);
        return answer(data);
    };
    handlers[0xF001] = [](CameraState& s, const Command& c) {
        Reply reply = actionByte(c, kActionByte);
        if (reply.status == kStatusGood) {
            powerCycle(s);
            reply.disappearMilliseconds = s.rebootMilliseconds;
        }
        return reply;
    };
    handlers[0xF002] = [](CameraState& s, const Command&) {
        powerCycle(s);
        Reply reply = answer(std::vector<uint8_t>(4, 0));
        reply.disappearMilliseconds = s.shutdownMilliseconds;
        return reply;
    };
    handlers[0xF003] = [](CameraState& s, const Command&) {
        std::vector<uint8_t> data(4, 0);
        bytes::storeLe32(&data[0], uint32_t(s.battery));
        return answer(data);
    };
    handlers[0xF004] = [](CameraState& s, const Command& c) {
        Reply reply = actionByte(c, kActionByte);
        if (reply.status == kStatusGood)
            ++s.logDeletions;
        return reply;
    };
    handlers[0xF005] = [](CameraState& s, const Command& c) {
        Reply reply = actionByte(c, kActionByte);
        if (reply.status == kStatusGood)
            s.records.erase(0xF218);
        return reply;
    };
    handlers[0xF107] = startAdmin;
    handlers[0xF201] = setClock;
    handlers[0xF202] = changeLogin;
    handlers[0xF203] = loginRecord;
    plainRecord(handlers, 0xF205, 0xF204, 100);
    handlers[0xF206] = readSetting;
    handlers[0xF207] = writeSetting;
    handlers[0xF208] = changeBrowse;
    handlers[0xF209] = checkBrowse;
    handlers[0xF20A] = [](CameraState& s, const Command& c) {
        // The card cannot be formatted while the host has it mounted.
        if (c.dataOut[0] != 0x00 || s.massStorage)
            return refuse();
        ++s.formats;
        s.formatPollsLeft = s.formatPolls;
        s.freeSpaceMiB = s.cardCapacityMiB;
        return good();
    };
    handlers[0xF20B] = [](CameraState& s, const Command&) {
        std::vector<uint8_t> data(4, 0);
        if (s.formatPollsLeft > 0) {
            --s.formatPollsLeft;
            bytes::storeLe32(&data[0], kFormatBusy);
        } else {
            bytes::storeLe32(&data[0], kFormatDone);
        }
        return answer(data);
    };
    handlers[0xF20C] = deviceSpec;
    plainRecord(handlers, 0xF20D, 0xF20E, 136);
    plainRecord(handlers, 0xF210, 0xF211, 114);
    plainRecord(handlers, 0xF212, 0xF213, 186);
    plainRecord(handlers, 0xF214, 0xF215, 4);
    handlers[0xF216] = changeUser;
    handlers[0xF217] = newAdmin;
    plainRecord(handlers, 0xF218, 0xF219, 32);
    handlers[0xF21B] = rk20StringInfo;
    plainRecord(handlers, 0xF21C, 0xF21D, 28);
    handlers[0xF21E] = [](CameraState& s, const Command& c) {
        s.noLoginCheck = c.dataOut[0];
        return good();
    };
    handlers[0xF21F] = [](CameraState& s, const Command&) {
        return answer(std::vector<uint8_t>{s.noLoginCheck});
    };
    handlers[0xF220] = [](CameraState& s, const Command&) {
        ++s.focusRuns;
        return answer(std::vector<uint8_t>(4, 0));
    };
    handlers[0xF221] = [](CameraState& s, const Command&) {
        return answer(std::vector<uint8_t>(s.gsensor, s.gsensor + 8));
    };
    // The last write before this read: its sub-command (u16) and 1 when it was accepted.
    handlers[0xF222] = [](CameraState& s, const Command&) {
        std::vector<uint8_t> data(8, 0);
        bytes::storeLe16(&data[0], s.lastWrite);
        data[2] = s.lastWriteAccepted ? 1 : 0;
        return answer(data);
    };
    plainRecord(handlers, 0xF224, 0xF223, 4);
    plainRecord(handlers, 0xF225, 0xF226, 64);
    handlers[0xF227] = readClock;
    handlers[0xF229] = [](CameraState& s, const Command& c) {
        s.noWifiPassword = c.dataOut[0];
        return good();
    };
    handlers[0xF235] = [](CameraState& s, const Command& c) {
        if (c.dataOut[0] != kCopyFinishedByte)
            return refuse();
        s.massStorage = false;  // the command disk comes back
        ++s.copyFinished;
        return good();
    };
    handlers[0xF236] = [](CameraState& s, const Command&) {
        return answer(textBlock(s.menuList, 2048));
    };
    handlers[0xF237] = menuListWrite;
    handlers[0xF238] = [](CameraState& s, const Command&) {
        return answer(textBlock(s.jsonAnswer, 2048));
    };
    handlers[0xF239] = jsonRequest;
    handlers[0xF23A] = [](CameraState&, const Command&) {
        return answer(textBlock("TORVEK JSON channel ready", 30));
    };
    handlers[0xF23B] = [](CameraState& s, const Command& c) {
        s.records[0xF23B] = payload(c);
        return good();
    };
    handlers[0xF23D] = [](CameraState& s, const Command&) {
        return answer(textBlock(s.buildVersion, 32));
    };
    plainRecord(handlers, 0xF23E, 0xF23F, 128);

    // A camera checks every command against its catalogue before acting on it.
    for (const CatalogueEntry& entry : vendorCatalogue()) {
        auto it = handlers.find(entry.subCommand);
        if (it == handlers.end())
            continue;
        CameraModel::Handler inner = std::move(it->second);
        it->second = [entry, inner](CameraState& s, const Command& c) {
            if (c.dataIn != entry.dataIn || c.length != entry.length)
                return refuse();
            if (!c.dataIn && c.dataOut == nullptr)
                return refuse();
            return inner(s, c);
        };
    }
}

}  // namespace camsim
