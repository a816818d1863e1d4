// dalvex metrics: the cameras as a listing sees them (no login: none of these reads needs one),
// their cards' sizes, and per serial of the archive the last complete offload and the failed
// ones. A value that could not be read is left out, never written as 0.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <charconv>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>

#include "camera_models.h"
#include "cameras.h"
#include "metrics.h"
#include "offload_manifest.h"
#include "output_file.h"
#include "session.h"
#include "text/text.h"

namespace cli {

namespace {

namespace fs = std::filesystem;

constexpr const char* kDefaultArchive = "/var/lib/dalvex/evidence";
// A manifest of 100,000 files is some 30 MB; a larger file is no manifest of ours and is not read
// into memory.
constexpr size_t kMaxManifestBytes = size_t(32) << 20;
constexpr uint64_t kMebibyte = uint64_t(1) << 20;
constexpr uint64_t kGibibyte = uint64_t(1) << 30;

// The families in the order they are written; each one's samples stay together under its HELP
// and TYPE lines, as the format asks.
enum FamilyId {
    kCameras,
    kBattery,
    kCardCapacity,
    kCardFree,
    kStorageExposed,
    kFirmware,
    kLastTime,
    kLastBytes,
    kFailed,
    kFamilies
};

struct Family {
    const char* name;
    const char* help;
};

// Battery as a ratio of 0 to 1, the unit Prometheus gives a percentage, so that it reads like
// every other exporter's ratios.
constexpr std::array<Family, kFamilies> kFamilyTable = {{
    {"dalvex_cameras", "Cameras found on the drive letters"},
    {"dalvex_camera_battery_ratio", "Battery charge, 0 to 1"},
    {"dalvex_camera_card_capacity_bytes", "Size of the camera's card"},
    {"dalvex_camera_card_free_bytes", "Free space on the camera's card"},
    {"dalvex_camera_storage_exposed", "1 while the card is exposed as a disk, else 0"},
    {"dalvex_camera_firmware_info", "The camera's firmware version"},
    {"dalvex_offload_last_complete_timestamp_seconds",
     "When the serial's last complete offload finished, seconds since the epoch"},
    {"dalvex_offload_last_complete_bytes",
     "Bytes of the files of the serial's last complete offload"},
    {"dalvex_offload_failed",
     "Offload folders of the serial without a readable finished manifest (interrupted or failed "
     "offloads that no rerun completed yet, and one running now)"},
}};

std::string labelValue(const std::string& value) {
    std::string escaped;
    for (char c : value) {
        if (c == '\\')
            escaped += "\\\\";
        else if (c == '"')
            escaped += "\\\"";
        else if (c == '\n')
            escaped += "\\n";
        else
            escaped.push_back(c);
    }
    return escaped;
}

std::string number(double value) {
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return std::string(buffer, end);
}

class Exposition {
  public:
    void add(FamilyId family, const std::string& labels, const std::string& value) {
        samples_[family] += std::string(kFamilyTable[family].name) + labels + " " + value + "\n";
    }
    // Families without a sample are left out.
    std::string text() const {
        std::string out;
        for (int f = 0; f < kFamilies; ++f) {
            if (samples_[f].empty())
                continue;
            const Family& family = kFamilyTable[f];
            out += std::string("# HELP ") + family.name + " " + family.help + "\n# TYPE " +
                   family.name + " gauge\n" + samples_[f];
        }
        return out;
    }

  private:
    std::array<std::string, kFamilies> samples_;
};

void cameraMetrics(Exposition& out) {
    const std::vector<Camera> cameras = findCameras();
    out.add(kCameras, "", std::to_string(cameras.size()));
    for (const Camera& c : cameras) {
        const std::string model =
            c.modelName().empty() ? std::to_string(c.spec.modelCode) : c.modelName();
        const std::string labels = "{serial=\"" + labelValue(c.serial) + "\",model=\"" +
                                   labelValue(model) + "\",letter=\"" + std::string(1, c.letter) +
                                   "\"";
        if (c.battery >= 0)
            out.add(kBattery, labels + "}", number(c.battery / 100.0));
        out.add(kStorageExposed, labels + "}", c.storageExposed ? "1" : "0");
        if (!c.firmware().empty())
            out.add(kFirmware, labels + ",firmware=\"" + labelValue(c.firmware()) + "\"}", "1");
        DeviceSettingRecord setting{};
        if (!c.handle().read(setting))
            continue;
        const uint64_t unit = settings::CountsInMegabytes(c.spec.modelCode) ? kMebibyte : kGibibyte;
        if (setting.cardCapacity >= 0)
            out.add(kCardCapacity, labels + "}", std::to_string(setting.cardCapacity * unit));
        if (setting.freeSpaceMB >= 0)
            out.add(kCardFree, labels + "}", std::to_string(setting.freeSpaceMB * kMebibyte));
    }
}

// A manifest, read defensively: a regular file (no link, no FIFO to hang on) of bounded size,
// one JSON object.
bool readManifest(const std::string& path, Json::Value& manifest) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    std::string text;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
        uint64_t(info.st_size) <= kMaxManifestBytes) {
        text.resize(size_t(info.st_size) + 1);  // one more: a file that grew is seen
        size_t got = 0;
        ssize_t n;
        while (got < text.size() && (n = ::read(fd, text.data() + got, text.size() - got)) > 0)
            got += size_t(n);
        text.resize(got);
    }
    ::close(fd);
    if (text.empty() || text.size() > size_t(info.st_size))
        return false;
    Json::CharReaderBuilder builder;
    std::istringstream in(text);
    std::string errors;
    try {
        return Json::parseFromStream(builder, in, &manifest, &errors) && manifest.isObject();
    } catch (const Json::Exception&) {
        return false;  // nesting deeper than the reader allows
    }
}

std::optional<int64_t> utcSeconds(const std::string& text) {
    std::tm tm{};
    const char* end = ::strptime(text.c_str(), "%Y-%m-%dT%H:%M:%SZ", &tm);
    if (end == nullptr || *end != '\0')
        return std::nullopt;
    return int64_t(::timegm(&tm));
}

struct SerialOffloads {
    std::optional<int64_t> lastFinished;
    uint64_t lastBytes = 0;
    int failed = 0;
};

// A finished offload is a folder whose manifest.json reads with its finish time; any other
// offload folder failed (or is running now).
SerialOffloads serialOffloads(const std::string& serialFolder) {
    SerialOffloads result;
    for (const std::string& folder : offloadFolders(serialFolder)) {
        Json::Value manifest;
        const std::optional<int64_t> finished =
            readManifest(folder + "/" + kManifestName, manifest) && manifest["finished"].isString()
                ? utcSeconds(manifest["finished"].asString())
                : std::nullopt;
        if (!finished) {
            ++result.failed;
            continue;
        }
        if (result.lastFinished && *finished < *result.lastFinished)
            continue;
        uint64_t bytes = 0;
        const Json::Value& files = manifest["files"];
        for (Json::ArrayIndex i = 0; files.isArray() && i < files.size(); ++i) {
            const Json::Value& size = files[i].isObject() ? files[i]["size"] : Json::Value();
            if (size.isUInt64())
                bytes += std::min(size.asUInt64(), UINT64_MAX - bytes);
        }
        result.lastFinished = finished;
        result.lastBytes = bytes;
    }
    return result;
}

bool validUtf8(const std::string& name) {
    return text::Encode(text::Decode(name, "UTF-8"), "UTF-8") == name;
}

// False when the archive's folder cannot be listed.
bool archiveMetrics(const std::string& archive, Exposition& out) {
    std::error_code ec;
    std::map<std::string, SerialOffloads> serials;
    for (auto it = fs::directory_iterator(archive, ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        const std::string serial = it->path().filename().string();
        // Each serial's folder was named by the offload: anything else is not one of ours.
        std::error_code entryError;
        if (!it->is_directory(entryError) || it->is_symlink(entryError) || !validUtf8(serial))
            continue;
        serials[serial] = serialOffloads(it->path().string());
    }
    for (const auto& [serial, offloads] : serials) {
        const std::string labels = "{serial=\"" + labelValue(serial) + "\"}";
        if (offloads.lastFinished) {
            out.add(kLastTime, labels, std::to_string(*offloads.lastFinished));
            out.add(kLastBytes, labels, std::to_string(offloads.lastBytes));
        }
        out.add(kFailed, labels, std::to_string(offloads.failed));
    }
    return !ec;
}

}  // namespace

int writeMetrics(const MetricsOptions& options) {
    std::string archive = options.archive;
    std::error_code ec;
    if (archive.empty() && fs::is_directory(kDefaultArchive, ec))
        archive = kDefaultArchive;
    if (!archive.empty() && !fs::is_directory(archive, ec)) {
        std::cerr << "dalvex: the archive " << printable(archive) << " is not a folder\n";
        return kExitUsage;
    }
    int code = kExitOk;
    Exposition exposition;
    cameraMetrics(exposition);
    if (!archive.empty() && !archiveMetrics(archive, exposition)) {
        std::cerr << "dalvex: cannot read the archive " << printable(archive) << "\n";
        code = kExitCameraFailed;
    }
    std::optional<OutputFile> out;
    if (options.textfile.empty()) {
        out.emplace();
    } else {
        out.emplace(options.textfile);
        out->setMode(0644);  // the collector runs as another user
    }
    out->write(exposition.text());
    if (!out->commit()) {
        std::cerr << "dalvex: " << printable(out->error()) << "\n";
        return kExitCameraFailed;
    }
    return code;
}

}  // namespace cli
