#include "offload_manifest.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "audit.h"
#include "offload_copy.h"
#include "output_file.h"

namespace cli {

namespace {

namespace fs = std::filesystem;

bool parseLine(const std::string& text, Json::Value& out) {
    Json::CharReaderBuilder builder;
    std::istringstream in(text);
    std::string errors;
    return Json::parseFromStream(builder, in, &out, &errors) && out.isObject();
}

std::vector<ManifestEntry> entriesOf(const Json::Value& files) {
    std::vector<ManifestEntry> entries;
    for (const Json::Value& f : files)
        entries.push_back(ManifestEntry::fromJson(f));
    return entries;
}

}  // namespace

std::string jsonLine(const Json::Value& v) {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["emitUTF8"] = true;
    return Json::writeString(builder, v);
}

Json::Value ManifestEntry::toJson() const {
    Json::Value v(Json::objectValue);
    v["path"] = path;
    v["size"] = Json::UInt64(size);
    v["mtime"] = isoTime(mtimeNs);
    v["mtime_ns"] = Json::Int64(mtimeNs);
    v["sha256"] = sha256;
    v["verified"] = verified;
    if (!gpx.empty())
        v["gpx"] = gpx;
    return v;
}

ManifestEntry ManifestEntry::fromJson(const Json::Value& v) {
    ManifestEntry e;
    e.path = v["path"].asString();
    e.size = v["size"].isUInt64() ? v["size"].asUInt64() : 0;
    e.mtimeNs = v["mtime_ns"].isInt64() ? v["mtime_ns"].asInt64() : 0;
    e.sha256 = v["sha256"].asString();
    e.verified = v["verified"].isBool() && v["verified"].asBool();
    e.gpx = v["gpx"].asString();
    return e;
}

bool Journal::appendLine(const Json::Value& line, int flags, std::string& error) {
    const std::string path = folder_ + "/" + kJournalName;
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC | flags, 0640);
    if (fd < 0) {
        error = "cannot open the journal " + path + ": " + std::strerror(errno);
        return false;
    }
    // One write per line: a kill leaves at most one unfinished last line, which a reader drops.
    const std::string text = jsonLine(line) + "\n";
    const bool written =
        ::write(fd, text.data(), text.size()) == ssize_t(text.size()) && ::fsync(fd) == 0;
    const int saved = errno;
    ::close(fd);
    if (!written)
        error = "cannot write the journal " + path + ": " + std::strerror(saved);
    return written;
}

bool Journal::create(const Json::Value& head, std::string& error) {
    return appendLine(head, O_CREAT | O_EXCL, error);
}

bool Journal::append(const ManifestEntry& entry, std::string& error) {
    return appendLine(entry.toJson(), 0, error);
}

bool readOffload(const std::string& folder, Json::Value& head, std::vector<ManifestEntry>& files) {
    std::ifstream manifest(folder + "/" + kManifestName);
    if (manifest) {
        const std::string text((std::istreambuf_iterator<char>(manifest)), {});
        if (!parseLine(text, head))
            return false;
        files = entriesOf(head["files"]);
        head.removeMember("files");
        return true;
    }
    std::ifstream journal(folder + "/" + kJournalName);
    if (!journal)
        return false;
    std::string line;
    bool first = true;
    while (std::getline(journal, line)) {
        Json::Value v;
        if (!parseLine(line, v))
            continue;  // the torn last line of a killed run
        if (first)
            head = v;
        else
            files.push_back(ManifestEntry::fromJson(v));
        first = false;
    }
    return !first;
}

std::string sumsLine(const std::string& sha256, const std::string& name) {
    std::string escaped;
    bool special = false;
    for (char c : name) {
        if (c == '\\') {
            escaped += "\\\\";
            special = true;
        } else if (c == '\n') {
            escaped += "\\n";
            special = true;
        } else {
            escaped.push_back(c);
        }
    }
    return (special ? "\\" : "") + sha256 + "  " + escaped + "\n";
}

bool finaliseOffload(const std::string& folder, Json::Value head,
                     const std::vector<ManifestEntry>& files, std::string& error) {
    OutputFile sums(folder + "/" + kSumsName);
    Json::Value list(Json::arrayValue);
    for (const ManifestEntry& f : files) {
        sums.write(sumsLine(f.sha256, f.path));
        list.append(f.toJson());
    }
    head["finished"] = formatNow("%Y-%m-%dT%H:%M:%SZ", true);
    head["files"] = list;
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "  ";
    builder["emitUTF8"] = true;
    OutputFile manifest(folder + "/" + kManifestName);
    manifest.write(Json::writeString(builder, head) + "\n");
    for (OutputFile* out : {&sums, &manifest}) {
        if (!out->commit()) {
            error = out->error();
            return false;
        }
    }
    // The manifest is in place: the journal has served.
    ::unlink((folder + "/" + kJournalName).c_str());
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
    return true;
}

std::vector<std::string> offloadFolders(const std::string& serialFolder) {
    std::vector<std::string> folders;
    std::error_code ec;
    for (auto it = fs::directory_iterator(serialFolder, ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            folders.push_back(it->path().string());
    }
    std::sort(folders.begin(), folders.end());
    return folders;
}

}  // namespace cli
