// dalvex verify: each offload folder re-read against its manifest; every missing, changed or
// unlisted file is reported.
#include <sys/stat.h>

#include <filesystem>
#include <iostream>
#include <set>

#include "digest.h"
#include "offload.h"
#include "offload_copy.h"
#include "offload_manifest.h"
#include "session.h"

namespace cli {

namespace {

namespace fs = std::filesystem;

bool isOffload(const fs::path& p) {
    std::error_code ec;
    return fs::exists(p / kManifestName, ec) || fs::exists(p / kJournalName, ec);
}

// The offload folders of a path: itself, or those of a serial's folder, or of an archive.
void findOffloads(const fs::path& p, int depth, std::vector<std::string>& out) {
    std::error_code ec;
    if (isOffload(p)) {
        out.push_back(p.string());
        return;
    }
    if (depth == 0 || !fs::is_directory(p, ec) || fs::is_symlink(p, ec))
        return;
    std::vector<fs::path> children;
    for (auto it = fs::directory_iterator(p, ec); !ec && it != fs::directory_iterator();
         it.increment(ec))
        children.push_back(it->path());
    std::sort(children.begin(), children.end());
    for (const fs::path& child : children)
        findOffloads(child, depth - 1, out);
}

Json::Value checkOffload(const std::string& folder) {
    Json::Value r(Json::objectValue);
    r["folder"] = folder;
    for (const char* list : {"missing", "changed", "unlisted"})
        r[list] = Json::Value(Json::arrayValue);
    Json::Value head;
    std::vector<ManifestEntry> files;
    if (!fs::exists(fs::path(folder) / kManifestName)) {
        r["error"] = "unfinished offload: no manifest (run the offload again)";
        return r;
    }
    if (!readOffload(folder, head, files)) {
        r["error"] = "the manifest cannot be read";
        return r;
    }
    std::set<std::string> listed = {kManifestName, kSumsName};
    for (const ManifestEntry& e : files) {
        listed.insert(e.path);
        if (!e.gpx.empty())
            listed.insert(e.gpx);
        const std::string path = folder + "/" + e.path;
        const std::optional<FileDigest> d = digestFile(path);
        struct stat st {};
        if (!d)
            r["missing"].append(e.path);
        // A link in the copy's place is not the copy, whatever it leads to.
        else if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || d->size != e.size ||
                 d->sha256 != e.sha256)
            r["changed"].append(e.path);
    }
    std::vector<CardFile> present;
    std::vector<std::string> others;
    std::string error;
    walkCard(folder, present, others, error);
    for (const CardFile& f : present)
        others.push_back(f.relative);
    std::sort(others.begin(), others.end());
    for (const std::string& name : others) {
        if (!listed.count(name))
            r["unlisted"].append(name);
    }
    r["files"] = Json::UInt64(files.size());
    return r;
}

}  // namespace

int verifyArchive(const std::vector<std::string>& paths, bool json) {
    Json::Value doc(Json::objectValue);
    doc["offloads"] = Json::Value(Json::arrayValue);
    int exit = kExitOk;
    std::ostream& text = json ? std::cerr : std::cout;
    for (const std::string& path : paths) {
        std::vector<std::string> offloads;
        findOffloads(path, 2, offloads);
        if (offloads.empty()) {
            std::cerr << "dalvex: " << printable(path) << ": no offload found\n";
            exit = kExitCameraFailed;
        }
        for (const std::string& folder : offloads) {
            Json::Value r = checkOffload(folder);
            bool good = !r.isMember("error");
            if (!good)
                std::cerr << "dalvex: " << printable(folder) << ": " << r["error"].asString()
                          << '\n';
            for (const char* list : {"missing", "changed", "unlisted"}) {
                for (const Json::Value& name : r[list]) {
                    std::cerr << "dalvex: " << printable(folder) << ": " << list << ": "
                              << printable(name.asString()) << '\n';
                    good = false;
                }
            }
            r["ok"] = good;
            if (good)
                text << printable(folder) << ": " << r["files"].asUInt64() << " files, ok\n";
            else
                exit = kExitCameraFailed;
            doc["offloads"].append(r);
        }
    }
    if (json) {
        doc["exit_code"] = exit;
        Json::StreamWriterBuilder builder;
        builder["indentation"] = "  ";
        builder["emitUTF8"] = true;
        std::cout << Json::writeString(builder, doc) << '\n';
    }
    std::cout.flush();
    return exit;
}

}  // namespace cli
