// What an offload folder says of itself: a journal of JSON lines written as the work goes (a head,
// then one line per verified file, each synced), finalised into manifest.json and the coreutils
// SHA256SUMS when the offload is complete. A folder with a journal and no manifest is an offload
// that was interrupted; a rerun continues it.
#pragma once

#include <json/json.h>

#include <cstdint>
#include <string>
#include <vector>

namespace cli {

constexpr const char* kJournalName = "manifest.journal";
constexpr const char* kManifestName = "manifest.json";
constexpr const char* kSumsName = "SHA256SUMS";

// One archived file of an offload.
struct ManifestEntry {
    std::string path;  // relative to the offload folder
    uint64_t size = 0;
    int64_t mtimeNs = 0;
    std::string sha256;
    bool verified = false;
    std::string gpx;  // the track written beside it, relative; "" when none

    Json::Value toJson() const;
    static ManifestEntry fromJson(const Json::Value& v);
};

// The journal of one offload folder, appended one synced line at a time.
class Journal {
  public:
    explicit Journal(std::string folder) : folder_(std::move(folder)) {}
    // Creates the journal with its head line.
    bool create(const Json::Value& head, std::string& error);
    bool append(const ManifestEntry& entry, std::string& error);

  private:
    bool appendLine(const Json::Value& line, int flags, std::string& error);
    std::string folder_;
};

// The head and files of a journal or a manifest; false when neither can be read.
bool readOffload(const std::string& folder, Json::Value& head, std::vector<ManifestEntry>& files);

// Writes SHA256SUMS and manifest.json (the head with "finished" and "files") and removes the
// journal. False with the error set when a file cannot be written.
bool finaliseOffload(const std::string& folder, Json::Value head,
                     const std::vector<ManifestEntry>& files, std::string& error);

// A SHA256SUMS line as coreutils writes it: a name with a backslash or a newline starts the line
// with a backslash and has them as \\ and \n.
std::string sumsLine(const std::string& sha256, const std::string& name);

// The offload folders under a serial's folder, in name order.
std::vector<std::string> offloadFolders(const std::string& serialFolder);

// One JSON value as a single line.
std::string jsonLine(const Json::Value& v);

}  // namespace cli
