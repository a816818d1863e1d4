// dalvex offload: the camera's card copied into ARCHIVE/<serial>/<UTC start>/, each file verified
// from the disk, a journal as the work goes and the manifest at the end; the camera is told
// (copy-finished) only when every file of the card is in the archive and verified.
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <tuple>

#include "command_table.h"
#include "gps_render.h"
#include "offload_copy.h"
#include "offload_manifest.h"

namespace cli {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using FileKey = std::tuple<std::string, uint64_t, int64_t>;  // path, size, mtime

std::string field(const char* bytes, size_t size) {
    return cameraText(std::string(bytes, strnlen(bytes, size)));
}

std::string operatorName() {
    const struct passwd* pw = ::getpwuid(::geteuid());
    return pw ? pw->pw_name : std::to_string(::geteuid());
}

std::string hostName() {
    char name[256] = {};
    ::gethostname(name, sizeof name - 1);
    return name;
}

// A serial names a folder of the archive: it may not climb out of it.
bool usableSerial(const std::string& serial) {
    return !serial.empty() && serial != "." && serial != ".." &&
           serial.find('/') == std::string::npos;
}

bool isMedia(const std::string& path) {
    std::string ext = fs::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return ext == ".mp4" || ext == ".mov" || ext == ".jpg";
}

// The progress line, on a terminal only: files, bytes, rate, time left.
class Progress {
  public:
    Progress(std::string label, size_t files, uint64_t bytes)
        : label_(std::move(label)), files_(files), bytes_(bytes), shown_(isatty(STDERR_FILENO)) {}
    ~Progress() {
        if (shown_ && printed_)
            std::cerr << '\n';
    }
    void fileDone() {
        ++done_;
        show(true);
    }
    void add(uint64_t bytes) {
        copied_ += bytes;
        show(false);
    }

  private:
    void show(bool now) {
        if (!shown_)
            return;
        const Clock::time_point t = Clock::now();
        if (!now && t - last_ < std::chrono::milliseconds(250))
            return;
        last_ = t;
        const double seconds = std::chrono::duration<double>(t - start_).count();
        const double rate = seconds > 0 ? double(copied_) / seconds : 0;
        const double left = rate > 0 ? double(bytes_ - std::min(copied_, bytes_)) / rate : 0;
        char line[200];
        std::snprintf(line, sizeof line,
                      "\r%s: %zu/%zu files, %.1f/%.1f MB, %.1f MB/s, %.0f s left", label_.c_str(),
                      done_, files_, double(copied_) / 1e6, double(bytes_) / 1e6, rate / 1e6, left);
        std::cerr << line << std::flush;
        printed_ = true;
    }

    std::string label_;
    size_t files_, done_ = 0;
    uint64_t bytes_, copied_ = 0;
    bool shown_, printed_ = false;
    Clock::time_point start_ = Clock::now(), last_{};
};

// A new offload folder named by the UTC start time; a suffix when it exists.
std::string makeOffloadFolder(const std::string& serialFolder, const std::string& started,
                              std::string& error) {
    std::string base;
    for (char ch : started) {
        if (ch != '-' && ch != ':')
            base.push_back(ch);
    }
    for (int n = 1; n < 100; ++n) {
        const std::string path =
            serialFolder + "/" + base + (n == 1 ? "" : "-" + std::to_string(n));
        if (::mkdir(path.c_str(), 0750) == 0)
            return path;
        if (errno != EEXIST)
            break;
    }
    error = "cannot make an offload folder in " + serialFolder + ": " + std::strerror(errno);
    return "";
}

// The track of a copied video or picture beside it; "" when it has none or it cannot be written.
std::string writeTrack(const std::string& folder, const ManifestEntry& e,
                       const std::map<std::string, bool>& onCard) {
    if (!isMedia(e.path) || onCard.count(e.path + ".gpx"))
        return "";
    GpsSource source;
    source.path = folder + "/" + e.path;
    source.size = e.size;
    source.sha256 = e.sha256;
    surveyTrack(source);
    if (source.points == 0)
        return "";
    OutputFile out(source.path + ".gpx");
    writeOutput(GpsFormat::kGpx, {&source}, out);
    return out.commit() ? e.path + ".gpx" : "";
}

struct CameraFacts {
    std::string serial;
    Json::Value head;
};

// Serial, model, firmware and the user-information record; false when the camera did not give
// them.
bool readFacts(const Camera& c, const std::string& cardFolder, CameraFacts& facts) {
    const dalvex::Camera camera = c.handle();
    const std::optional<std::string> serial = camera.serial();
    DeviceSpecRecord spec{};
    UserInfoRecord user{};
    if (!serial || !camera.readSpec(spec) || !camera.read(user))
        return false;
    Camera read = c;
    read.spec = spec;
    facts.serial = cameraText(*serial);
    Json::Value& h = facts.head;
    h["tool"] = "dalvex";
    h["version"] = DALVEX_VERSION;
    h["host"] = hostName();
    h["operator"] = operatorName();
    h["started"] = formatNow("%Y-%m-%dT%H:%M:%SZ", true);
    h["card_folder"] = cardFolder;
    Json::Value& cam = h["camera"];
    cam["serial"] = facts.serial;
    cam["model_code"] = spec.modelCode;
    cam["model"] = read.modelName();
    cam["firmware"] = read.firmware();
    cam["device_id"] = field(user.deviceId, sizeof user.deviceId);
    cam["user_id"] = field(user.userId, sizeof user.userId);
    cam["user_name"] = field(user.userName, sizeof user.userName);
    cam["department"] = field(user.departmentName, sizeof user.departmentName);
    cam["department_number"] = field(user.departmentNumber, sizeof user.departmentNumber);
    return true;
}

// What the archive holds for a serial: every verified file of a finished offload, and the
// unfinished offload of this card folder, which a rerun continues.
struct ArchiveState {
    std::map<FileKey, std::string> archived;  // to the offload folder holding it
    std::string unfinished;
    Json::Value unfinishedHead;
    std::vector<ManifestEntry> unfinishedFiles;
};

ArchiveState archiveState(const std::string& serialFolder, const std::string& cardFolder) {
    ArchiveState state;
    for (const std::string& folder : offloadFolders(serialFolder)) {
        Json::Value head;
        std::vector<ManifestEntry> files;
        if (!readOffload(folder, head, files))
            continue;
        const bool finished = fs::exists(folder + "/" + kManifestName);
        if (!finished) {
            if (head["card_folder"].asString() != cardFolder)
                continue;
            state.unfinished = folder;
            state.unfinishedHead = head;
            state.unfinishedFiles.clear();
        }
        for (const ManifestEntry& e : files) {
            if (!e.verified)
                continue;
            if (finished)
                state.archived[{e.path, e.size, e.mtimeNs}] = folder;
            else
                state.unfinishedFiles.push_back(e);
        }
    }
    return state;
}

void offloadOne(Session& s, const OffloadOptions& o, const Camera& c, Json::Value& result) {
    const auto started = Clock::now();
    const std::string label = cameraLabel(c);
    result["copy_finished"] = false;
    std::error_code ec;
    const std::string cardFolder = fs::canonical(o.from, ec).string();
    CameraFacts facts;
    if (!readFacts(c, cardFolder, facts))
        return s.failCamera(c, result, "the camera did not give its serial, model or user");
    if (!usableSerial(facts.serial))
        return s.failCamera(c, result, "the serial cannot name a folder of the archive");
    result["serial"] = facts.serial;

    const dalvex::Camera camera = c.handle();
    if (!camera.storageExposed()) {
        const std::vector<AuditChange> change = {{"storage", "released", "exposed"}};
        if (!s.auditAttempt(c, "storage", change))
            return s.failCamera(c, result, "nothing was sent: the audit log cannot take its line");
        const bool exposed = camera.exposeStorage(s.loginPassword());
        s.audit(c, "storage", change, exposed);
        if (!exposed)
            return s.failCamera(c, result, "the camera refused the storage expose");
    }

    std::vector<CardFile> files;
    std::vector<std::string> skipped;
    std::string error;
    if (!walkCard(cardFolder, files, skipped, error))
        return s.failCamera(c, result, error);
    result["skipped"] = Json::Value(Json::arrayValue);
    for (const std::string& name : skipped) {
        result["skipped"].append(name);
        s.say(label + ": skipped, not a regular file: " + name);
    }

    const std::string serialFolder = o.to + "/" + facts.serial;
    ArchiveState state = archiveState(serialFolder, cardFolder);
    std::map<FileKey, bool> resumed;
    for (const ManifestEntry& e : state.unfinishedFiles)
        resumed[{e.path, e.size, e.mtimeNs}] = true;
    std::vector<CardFile> toCopy;
    std::map<std::string, bool> onCard;
    uint64_t bytes = 0;
    int alreadyArchived = 0;
    for (const CardFile& f : files) {
        onCard[f.relative] = true;
        const FileKey key{f.relative, f.size, f.mtimeNs};
        if (state.archived.count(key)) {
            ++alreadyArchived;
        } else if (!resumed.count(key)) {
            toCopy.push_back(f);
            bytes += f.size;
        }
    }
    result["already_archived"] = alreadyArchived;

    fs::create_directories(o.to, ec);
    const int64_t free = freeBytes(fs::exists(serialFolder) ? serialFolder : o.to);
    if (free >= 0 && uint64_t(free) < bytes)
        return s.failCamera(c, result,
                            "too little space in the archive: " + std::to_string(bytes) +
                                " bytes needed, " + std::to_string(free) +
                                " free; nothing was copied");

    std::string folder = state.unfinished;
    Json::Value head = state.unfinished.empty() ? facts.head : state.unfinishedHead;
    std::vector<ManifestEntry> entries = state.unfinishedFiles;
    int failed = 0;
    uint64_t copiedBytes = 0;
    if (folder.empty() && !toCopy.empty()) {
        if (!fs::exists(serialFolder) && !makeFolders(o.to, facts.serial, error))
            return s.failCamera(c, result, error);
        folder = makeOffloadFolder(serialFolder, head["started"].asString(), error);
        if (folder.empty() || !Journal(folder).create(head, error))
            return s.failCamera(c, result, error);
    }
    Journal journal(folder);
    {
        Progress progress(label, toCopy.size(), bytes);
        for (const CardFile& f : toCopy) {
            const CopyResult copy =
                copyVerified(cardFolder, f, folder, [&](uint64_t n) { progress.add(n); });
            progress.fileDone();
            if (!copy.error.empty()) {
                ++failed;
                s.fail(kExitCameraFailed, label + ": " + f.relative + ": " + copy.error);
                continue;
            }
            ManifestEntry e{f.relative, f.size, f.mtimeNs, copy.sha256, copy.verified, ""};
            e.gpx = writeTrack(folder, e, onCard);
            if (!journal.append(e, error)) {
                ++failed;
                s.fail(kExitCameraFailed, label + ": " + error);
                break;
            }
            copiedBytes += f.size;
            // A file that changed on the card since an interrupted run replaces its entry.
            std::erase_if(entries, [&](const ManifestEntry& old) { return old.path == e.path; });
            entries.push_back(e);
        }
    }
    result["offload_folder"] = folder.empty() ? Json::Value() : Json::Value(folder);
    result["files_new"] = Json::UInt64(entries.size());
    result["failed"] = failed;
    result["bytes"] = Json::UInt64(copiedBytes);
    result["seconds"] = std::chrono::duration<double>(Clock::now() - started).count();
    if (failed > 0)
        return s.failCamera(
            c, result,
            std::to_string(failed) + " file(s) not archived; the camera was not told, run again");
    if (!folder.empty() && !finaliseOffload(folder, head, entries, error))
        return s.failCamera(c, result, error + "; the camera was not told, run again");

    s.say(label + ": " + std::to_string(entries.size()) + " new, " +
          std::to_string(alreadyArchived) + " already archived" +
          (folder.empty() ? std::string() : ", in " + folder));
    if (o.keepExposed) {
        s.say(label + ": the storage stays exposed; copy-finished was not sent");
        result["status"] = "ok";
        return;
    }
    const std::vector<AuditChange> change = {
        {"copy-finished", Json::Value(), folder.empty() ? Json::Value() : Json::Value(folder)}};
    if (!s.auditAttempt(c, "offload", change))
        return s.failCamera(c, result,
                            "copy-finished not sent: the audit log cannot take its line");
    const bool told = camera.copyFinished();
    s.audit(c, "offload", change, told);
    if (!told)
        return s.failCamera(c, result, "the camera refused copy-finished");
    result["copy_finished"] = true;
    result["status"] = "ok";
}

// The one line per camera that an unattended dock leaves in the journal: serial, files, bytes and
// the result, whatever happened before.
std::string summaryLine(const Json::Value& r) {
    const std::string serial = r["serial"].asString();
    return (serial.empty() ? "-" : serial) + ": " + std::to_string(r["files_new"].asUInt64()) +
           " files, " + std::to_string(r["bytes"].asUInt64()) + " bytes, " +
           (r["status"].asString() == "ok" ? "ok" : "failed: " + r["error"].asString());
}

}  // namespace

void addOffloadOptions(CLI::App& c, Invocation& in) {
    c.add_option("--to", in.offload.to, "The archive folder")->required();
    c.add_option("--from", in.offload.from, "The card's folder");
    c.add_flag("--keep-exposed", in.offload.keepExposed,
               "Leave the card exposed: copy-finished is not sent");
    addCameraOptions(c, in.options, false);
}

bool checkOffload(Session& s, Invocation& in) {
    if (in.offload.from.empty()) {
        s.fail(kExitUsage, "the card cannot be found yet: give its folder with --from");
        return false;
    }
    std::error_code ec;
    if (!fs::is_directory(in.offload.from, ec)) {
        s.fail(kExitUsage, "--from " + in.offload.from + " is not a folder");
        return false;
    }
    // An archive inside the card would be copied into itself.
    const fs::path card = fs::canonical(in.offload.from, ec);
    const fs::path archive = fs::weakly_canonical(in.offload.to, ec);
    const auto inside = [](const fs::path& a, const fs::path& b) {
        const auto [end, unused] = std::mismatch(b.begin(), b.end(), a.begin(), a.end());
        return end == b.end();
    };
    if (inside(archive, card) || inside(card, archive)) {
        s.fail(kExitUsage, "--to and --from may not hold each other");
        return false;
    }
    return true;
}

void offloadCameras(Session& s, Invocation& in, const std::vector<Camera>& cameras) {
    // Archive files and folders are for their owner and group only.
    ::umask(::umask(0) | 027);
    for (const Camera& c : cameras) {
        Json::Value result = c.identity();
        offloadOne(s, in.offload, c, result);
        s.say(summaryLine(result));
        s.addResult(result);
    }
}

}  // namespace cli
