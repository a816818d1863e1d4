// dalvex offload: the camera's card copied into ARCHIVE/<serial>/<UTC start>/, each file verified
// from the disk, a journal as the work goes and the manifest at the end; the camera is told
// (copy-finished) only when every file of the card is in the archive and verified.
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
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
#include <thread>
#include <tuple>

#include "card.h"
#include "command_table.h"
#include "gps_render.h"
#include "offload_copy.h"
#include "offload_manifest.h"
#include "output_file.h"

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

// A serial names a folder of the archive: it may not climb out of it, nor put control characters
// in the names that people and scripts list.
bool usableSerial(const std::string& serial) {
    return !serial.empty() && serial != "." && serial != ".." &&
           std::none_of(serial.begin(), serial.end(),
                        [](unsigned char c) { return c == '/' || c < 0x20 || c == 0x7F; });
}

bool isMedia(const std::string& path) {
    std::string ext = fs::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return ext == ".mp4" || ext == ".mov" || ext == ".jpg";
}

// The progress lines, on a terminal only: one per camera (files, bytes, rate, time left), kept
// at the bottom of the terminal below the session's own lines.
class ProgressBoard : public StatusLines {
  public:
    explicit ProgressBoard(Session& s) : s_(s), shown_(isatty(STDERR_FILENO)) {
        if (shown_)
            s_.setStatusLines(this);
    }
    ~ProgressBoard() override {
        if (shown_)
            s_.setStatusLines(nullptr);
    }
    ProgressBoard(const ProgressBoard&) = delete;
    ProgressBoard& operator=(const ProgressBoard&) = delete;

    // A camera's line, shown from its first file on.
    size_t start(std::string label, size_t files, uint64_t bytes) {
        std::lock_guard<std::recursive_mutex> hold(s_.outputLock());
        lines_.push_back({std::move(label), files, 0, bytes, 0, Clock::now(), {}, false});
        return lines_.size() - 1;
    }
    void fileDone(size_t line) {
        std::lock_guard<std::recursive_mutex> hold(s_.outputLock());
        Line& l = lines_[line];
        ++l.done;
        l.visible = true;
        if (l.done >= l.files)
            l.finished = Clock::now();  // its figures stay as they were at its end
        update(true);
    }
    void add(size_t line, uint64_t bytes) {
        std::lock_guard<std::recursive_mutex> hold(s_.outputLock());
        lines_[line].copied += bytes;
        lines_[line].visible = true;
        update(false);
    }

    void clear() override {
        if (drawn_ > 0)
            std::cerr << "\r\x1b[" << drawn_ << "A\x1b[J";
        drawn_ = 0;
    }
    void draw() override {
        const Clock::time_point now = Clock::now();
        for (const Line& l : lines_) {
            if (!l.visible)
                continue;
            const Clock::time_point end = l.done >= l.files ? l.finished : now;
            const double seconds = std::chrono::duration<double>(end - l.started).count();
            char text[160];
            // Rate and time left once there is half a second of copying to go on.
            if (seconds < 0.5 || l.copied == 0) {
                std::snprintf(text, sizeof text, ": %zu/%zu files, %.1f/%.1f MB", l.done, l.files,
                              double(l.copied) / 1e6, double(l.bytes) / 1e6);
            } else {
                const double rate = double(l.copied) / seconds;
                const double left = double(l.bytes - std::min(l.copied, l.bytes)) / rate;
                std::snprintf(text, sizeof text,
                              ": %zu/%zu files, %.1f/%.1f MB, %.1f MB/s, %.0f s left", l.done,
                              l.files, double(l.copied) / 1e6, double(l.bytes) / 1e6, rate / 1e6,
                              left);
            }
            std::cerr << printable(l.label) << text << "\x1b[K\n";
            ++drawn_;
        }
        std::cerr << std::flush;
    }

  private:
    struct Line {
        std::string label;
        size_t files, done;
        uint64_t bytes, copied;
        Clock::time_point started, finished;
        bool visible;
    };
    void update(bool now) {
        if (!shown_)
            return;
        const Clock::time_point t = Clock::now();
        if (!now && t - last_ < std::chrono::milliseconds(250))
            return;
        last_ = t;
        clear();
        draw();
    }

    Session& s_;
    bool shown_;
    std::vector<Line> lines_;
    size_t drawn_ = 0;
    Clock::time_point last_{};
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
    // Points without a position make no track: a GPX of them would hold no point at all.
    if (source.fixes == 0)
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

// An archived copy counts only while it is still there as it was written: a regular file (not a
// link) with the card file's size and the modification time the copier gave it.
bool stillArchived(const std::string& folder, const ManifestEntry& e) {
    struct stat st {};
    return e.verified && ::lstat((folder + "/" + e.path).c_str(), &st) == 0 &&
           S_ISREG(st.st_mode) && uint64_t(st.st_size) == e.size &&
           int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec == e.mtimeNs;
}

// The offload's own files at the top of its folder: a card file of such a name cannot be kept.
bool ownName(const std::string& relative) {
    return relative == kManifestName || relative == kSumsName || relative == kJournalName;
}

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
            if (!stillArchived(folder, e))
                continue;
            if (finished)
                state.archived[{e.path, e.size, e.mtimeNs}] = folder;
            else
                state.unfinishedFiles.push_back(e);
        }
    }
    return state;
}

// One offload of a serial at a time: two would continue the same interrupted offload and swap
// each other's temporaries. The lock is the serial folder's, held until the camera is done.
class SerialLock {
  public:
    SerialLock() = default;
    ~SerialLock() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    SerialLock(const SerialLock&) = delete;
    SerialLock& operator=(const SerialLock&) = delete;

    // "" when held, or when the folder is missing (nothing to share yet); otherwise why not.
    std::string take(const std::string& serialFolder) {
        if (fd_ >= 0)
            return "";
        fd_ = ::open(serialFolder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd_ < 0)
            return errno == ENOENT ? ""
                                   : "cannot open " + serialFolder + ": " + std::strerror(errno);
        if (::flock(fd_, LOCK_EX | LOCK_NB) == 0)
            return "";
        return errno == EWOULDBLOCK ? "another offload of this camera is writing to " + serialFolder
                                    : "cannot lock " + serialFolder + ": " + std::strerror(errno);
    }

  private:
    int fd_ = -1;
};

// An archive inside the card would be copied into itself.
bool holdEachOther(const fs::path& cardFolder, const std::string& archiveFolder) {
    std::error_code ec;
    const fs::path card = fs::canonical(cardFolder, ec);
    const fs::path archive = fs::weakly_canonical(archiveFolder, ec);
    const auto inside = [](const fs::path& a, const fs::path& b) {
        const auto [end, unused] = std::mismatch(b.begin(), b.end(), a.begin(), a.end());
        return end == b.end();
    };
    return inside(archive, card) || inside(card, archive);
}

// Unmounts at the end of a camera's offload what the tool mounted, unless the card stays exposed
// after a complete offload.
class CardMount {
  public:
    CardMount(Session& s, const Camera& c, const OffloadOptions& o, const Json::Value& result,
              FoundCard& card)
        : s_(s), c_(c), o_(o), result_(result), card_(card) {}
    ~CardMount() {
        if (card_.device.empty() || (o_.keepExposed && result_["status"].asString() == "ok"))
            return;
        std::string error;
        if (!releaseCard(card_, error))
            s_.fail(kExitCameraFailed,
                    cameraLabel(c_) + ": the card stays mounted at " + card_.folder + ": " + error);
    }
    CardMount(const CardMount&) = delete;
    CardMount& operator=(const CardMount&) = delete;

  private:
    Session& s_;
    const Camera& c_;
    const OffloadOptions& o_;
    const Json::Value& result_;
    FoundCard& card_;
};

void offloadOne(Session& s, const OffloadOptions& o, const Camera& c, ProgressBoard& board,
                Json::Value& result) {
    const auto started = Clock::now();
    const std::string label = cameraLabel(c);
    result["copy_finished"] = false;
    // A camera that fails early still has every figure of its summary.
    result["files_new"] = 0;
    result["bytes"] = 0;
    result["failed"] = 0;
    std::error_code ec;
    CameraFacts facts;
    if (!readFacts(c, "", facts))
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

    // The card: the folder given, or found through the camera once it is exposed.
    FoundCard card;
    card.letter = c.letter;
    std::string error;
    const CardMount mounted(s, c, o, result, card);
    if (!o.from.empty())
        card.folder = o.from;
    else if (!findCard(facts.serial, card, error))
        return s.failCamera(c, result, error);
    const std::string cardFolder = fs::canonical(card.folder, ec).string();
    if (ec)
        return s.failCamera(c, result,
                            "the card folder " + card.folder + " cannot be read: " + ec.message());
    if (o.from.empty() && holdEachOther(cardFolder, o.to))
        return s.failCamera(c, result,
                            "the card folder " + cardFolder + " and --to may not hold each other");
    facts.head["card_folder"] = cardFolder;
    facts.head["card"]["label"] = card.label;
    facts.head["card"]["uuid"] = card.uuid;

    std::vector<CardFile> files;
    std::vector<std::string> skipped;
    if (!walkCard(cardFolder, files, skipped, error))
        return s.failCamera(c, result, error);
    result["skipped"] = Json::Value(Json::arrayValue);
    for (const std::string& name : skipped) {
        result["skipped"].append(name);
        s.say(label + ": skipped, not a regular file: " + name);
    }

    const std::string serialFolder = o.to + "/" + facts.serial;
    struct stat serialStat {};
    if (::lstat(serialFolder.c_str(), &serialStat) == 0 && !S_ISDIR(serialStat.st_mode))
        return s.failCamera(c, result,
                            serialFolder + " is not a folder (a link?): nothing is written there");
    // The manifest could not be written there at the end: say so before copying anything.
    if (const std::string unsafe = unsafeFolderReason(serialFolder); !unsafe.empty())
        return s.failCamera(c, result, unsafe + "; nothing was copied");
    SerialLock lock;
    if (const std::string busy = lock.take(serialFolder); !busy.empty())
        return s.failCamera(c, result, busy + "; nothing was copied");
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
    if (folder.empty() && !toCopy.empty()) {
        if (!fs::exists(serialFolder) && !makeFolders(o.to, facts.serial, error))
            // The archive's own folder first: the serial's "no such file" would hide why.
            return s.failCamera(
                c, result, ec ? "cannot make the folder " + o.to + ": " + ec.message() : error);
        if (const std::string busy = lock.take(serialFolder); !busy.empty())
            return s.failCamera(c, result, busy + "; nothing was copied");
        folder = makeOffloadFolder(serialFolder, head["started"].asString(), error);
        if (folder.empty() || !Journal(folder).create(head, error))
            return s.failCamera(c, result, error);
    }
    Journal journal(folder);
    {
        const size_t line = board.start(label, toCopy.size(), bytes);
        for (const CardFile& f : toCopy) {
            if (ownName(f.relative)) {
                board.fileDone(line);
                ++failed;
                s.fail(kExitCameraFailed,
                       label + ": " + f.relative + ": the name is the offload's own file name");
                continue;
            }
            const CopyResult copy =
                copyVerified(cardFolder, f, folder, [&](uint64_t n) { board.add(line, n); });
            board.fileDone(line);
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
            // A file that changed on the card since an interrupted run replaces its entry.
            std::erase_if(entries, [&](const ManifestEntry& old) { return old.path == e.path; });
            entries.push_back(e);
        }
    }
    result["offload_folder"] = folder.empty() ? Json::Value() : Json::Value(folder);
    result["files_new"] = Json::UInt64(entries.size());
    result["failed"] = failed;
    // The bytes of the files counted beside them, those of an interrupted run included.
    uint64_t offloadBytes = 0;
    for (const ManifestEntry& e : entries)
        offloadBytes += e.size;
    result["bytes"] = Json::UInt64(offloadBytes);
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
    const bool told = dalvex::Camera(card.letter).copyFinished();
    s.audit(c, "offload", change, told);
    if (!told)
        return s.failCamera(c, result,
                            dalvex::Camera(card.letter).present()
                                ? "the camera refused copy-finished"
                                : "the camera is gone: copy-finished was not sent; run again "
                                  "when it is back (the files are archived)");
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
    addCameraOptions(c, in.options, true);
}

bool checkOffload(Session& s, Invocation& in) {
    // Without --from the card is found once the camera's storage is exposed.
    if (in.offload.from.empty())
        return true;
    std::error_code ec;
    if (!fs::is_directory(in.offload.from, ec)) {
        s.fail(kExitUsage, "--from " + in.offload.from + " is not a folder");
        return false;
    }
    if (holdEachOther(in.offload.from, in.offload.to)) {
        s.fail(kExitUsage, "--to and --from may not hold each other");
        return false;
    }
    return true;
}

void offloadCameras(Session& s, Invocation& in, const std::vector<Camera>& cameras) {
    if (!in.offload.from.empty() && cameras.size() > 1)
        return s.fail(kExitUsage, "--from names one card: give one camera with --letter");
    // Archive files and folders are for their owner and group only.
    ::umask(::umask(0) | 027);
    // One worker per camera: the cameras' cards are read side by side, each card's files in
    // order. The results keep the order of the cameras.
    ProgressBoard board(s);
    std::vector<Json::Value> results(cameras.size());
    const auto work = [&](size_t i) {
        results[i] = cameras[i].identity();
        try {
            offloadOne(s, in.offload, cameras[i], board, results[i]);
        } catch (const std::exception& e) {
            s.failCamera(cameras[i], results[i], std::string("stopped: ") + e.what());
        }
        s.say(summaryLine(results[i]));
    };
    std::vector<std::thread> workers;
    for (size_t i = 1; i < cameras.size(); ++i)
        workers.emplace_back(work, i);
    if (!cameras.empty())
        work(0);
    for (std::thread& t : workers)
        t.join();
    for (Json::Value& result : results)
        s.addResult(std::move(result));
}

}  // namespace cli
