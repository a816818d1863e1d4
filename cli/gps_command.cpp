#include "gps_command.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#include "digest.h"
#include "gps_render.h"
#include "output_file.h"
#include "session.h"

namespace cli {

namespace {

namespace fs = std::filesystem;

const std::map<std::string, GpsFormat> kFormats = {
    {"text", GpsFormat::kText}, {"json", GpsFormat::kJson}, {"gpx", GpsFormat::kGpx},
    {"kml", GpsFormat::kKml},   {"csv", GpsFormat::kCsv},   {"geojson", GpsFormat::kGeoJson}};

// What a folder contributes: the camera's videos and pictures.
bool isMediaFile(const fs::path& path) {
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return ext == ".mp4" || ext == ".mov" || ext == ".jpg";
}

// Folders are walked recursively, their files in name order; files named directly are taken
// whatever their names.
std::vector<std::string> expandPaths(const std::vector<std::string>& paths,
                                     std::vector<std::string>& missing) {
    std::vector<std::string> files;
    for (const std::string& p : paths) {
        std::error_code ec;
        if (fs::is_directory(p, ec)) {
            std::vector<std::string> found;
            for (auto it = fs::recursive_directory_iterator(p, ec);
                 !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
                if (it->is_regular_file(ec) && isMediaFile(it->path()))
                    found.push_back(it->path().string());
            }
            std::sort(found.begin(), found.end());
            files.insert(files.end(), found.begin(), found.end());
        } else if (fs::exists(p, ec)) {
            files.push_back(p);
        } else {
            missing.push_back(p);
        }
    }
    return files;
}

struct Parsed {
    GpsSource source;
    std::string error;
};

void parseOne(const std::string& path, Parsed& out) {
    out.source.path = path;
    const std::optional<FileDigest> digest = digestFile(path);
    if (!digest) {
        out.error = "cannot read the file";
        return;
    }
    out.source.size = digest->size;
    out.source.sha256 = digest->sha256;
    surveyTrack(out.source);
    if (out.source.points == 0)
        out.error = "no GPS track found";
}

class Progress {
  public:
    Progress(size_t total, bool shown) : total_(total), shown_(shown) {}
    void update(size_t done, size_t points) {
        if (!shown_)
            return;
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        std::fprintf(stderr, "\r%zu/%zu files, %zu points, %.1f files/s ", done, total_, points,
                     seconds > 0 ? double(done) / seconds : 0.0);
        std::fflush(stderr);
    }
    void end() {
        if (shown_)
            std::fputc('\n', stderr);
    }

  private:
    size_t total_;
    bool shown_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// Writes one output and puts it in place; false, with the reason told, when that failed.
bool writeAll(GpsFormat format, const std::vector<const GpsSource*>& sources, OutputFile& out) {
    writeOutput(format, sources, out);
    if (out.commit())
        return true;
    std::cerr << "dalvex: " << readableText(out.error()) << "\n";
    return false;
}

// A file's identity: the same file under any name or link.
using FileId = std::pair<dev_t, ino_t>;

std::optional<FileId> fileId(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return FileId{info.st_dev, info.st_ino};
}

// The output's name in dir: the source's name and the format's extension, with "-2", "-3"...
// after the name when that is taken by an earlier output or is one of the inputs.
std::string outputName(const std::string& dir, const std::string& source, GpsFormat format,
                       std::set<std::string>& taken, const std::set<FileId>& inputs) {
    const std::string stem = fs::path(source).filename().string();
    for (int n = 1;; ++n) {
        const std::string name =
            (fs::path(dir) / (stem + (n > 1 ? "-" + std::to_string(n) : "") + extensionOf(format)))
                .string();
        const std::optional<FileId> id = fileId(name);
        if (taken.count(name) == 0 && !(id && inputs.count(*id) != 0)) {
            taken.insert(name);
            return name;
        }
    }
}

// The whole command; printed tells whether tracks went to standard output.
int gpsTracks(const GpsOptions& o, bool& printed) {
    const GpsFormat format = kFormats.at(o.format);
    std::vector<std::string> missing;
    const std::vector<std::string> files = expandPaths(o.paths, missing);
    int exit = kExitOk;
    for (const std::string& m : missing) {
        std::cerr << "dalvex: " << readableText(m) << ": no such file or folder\n";
        exit = kExitCameraFailed;
    }
    if (!o.output.empty() && !o.outDir.empty()) {
        std::cerr << "dalvex: choose -o or --out-dir, not both\n";
        return kExitUsage;
    }
    if (!o.outDir.empty() && o.merge) {
        std::cerr << "dalvex: --merge writes one output: use -o, not --out-dir\n";
        return kExitUsage;
    }
    if (o.outDir.empty() && !o.merge && files.size() > 1) {
        std::cerr << "dalvex: " << files.size()
                  << " files: give --out-dir for one output each, or --merge\n";
        return kExitUsage;
    }
    // Writing over an input would lose it before it is read.
    std::set<FileId> inputs;
    for (const std::string& f : files)
        if (const std::optional<FileId> id = fileId(f))
            inputs.insert(*id);
    if (const std::optional<FileId> id = o.output.empty() ? std::nullopt : fileId(o.output);
        id && inputs.count(*id) != 0) {
        std::cerr << "dalvex: " << readableText(o.output)
                  << " is one of the inputs: choose another output\n";
        return kExitUsage;
    }

    // Names are chosen before the work starts, so they do not depend on the finishing order.
    std::vector<std::string> outputs;
    if (!o.outDir.empty()) {
        std::error_code ec;
        fs::create_directories(o.outDir, ec);
        std::set<std::string> taken;
        for (const std::string& f : files)
            outputs.push_back(outputName(o.outDir, f, format, taken, inputs));
    }

    std::vector<Parsed> parsed(files.size());
    std::atomic<size_t> next{0};
    std::mutex mutex;
    std::condition_variable changed;
    size_t finished = 0, points = 0;
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const unsigned jobs =
        std::min<unsigned>(o.jobs == 0 ? cores : o.jobs, std::max<size_t>(files.size(), 1));
    std::vector<std::thread> workers;
    for (unsigned j = 0; j < jobs; ++j) {
        workers.emplace_back([&] {
            for (size_t i; (i = next++) < files.size();) {
                Parsed result;
                try {
                    parseOne(files[i], result);
                    if (!outputs.empty() && result.error.empty()) {
                        OutputFile out(outputs[i]);
                        writeOutput(format, {&result.source}, out);
                        if (!out.commit())
                            result.error = out.error();
                    }
                } catch (const std::exception& e) {
                    result.source.path = files[i];
                    result.error = e.what();
                }
                std::lock_guard<std::mutex> lock(mutex);
                parsed[i] = std::move(result);
                ++finished;
                points += parsed[i].source.points;
                changed.notify_one();
            }
        });
    }
    Progress progress(files.size(), isatty(STDERR_FILENO) != 0);
    {
        std::unique_lock<std::mutex> lock(mutex);
        while (finished < files.size()) {
            changed.wait_for(lock, std::chrono::milliseconds(200));
            progress.update(finished, points);
        }
    }
    for (std::thread& w : workers)
        w.join();
    progress.end();

    // Results in input order, whatever order the workers finished in.
    std::vector<const GpsSource*> good;
    size_t withoutFix = 0, failed = 0;
    for (const Parsed& p : parsed) {
        if (!p.error.empty()) {
            std::cerr << "dalvex: " << readableText(p.source.path) << ": " << readableText(p.error)
                      << ", skipped\n";
            ++failed;
            continue;
        }
        good.push_back(&p.source);
        withoutFix += p.source.withoutFix;
    }

    // With --out-dir each worker has written its own file. An empty run still writes the
    // format's empty document.
    if (o.outDir.empty()) {
        std::cout.flush();
        std::unique_ptr<OutputFile> out = o.output.empty() ? std::make_unique<OutputFile>()
                                                           : std::make_unique<OutputFile>(o.output);
        printed = o.output.empty();
        try {
            if (!writeAll(format, good, *out))
                failed += good.size();
        } catch (const std::exception& e) {
            std::cerr << "dalvex: " << readableText(out->name()) << ": " << e.what() << "\n";
            failed += good.size();
        }
    }
    if (failed > 0)
        exit = kExitCameraFailed;
    std::cerr << "dalvex: " << files.size() << " files, " << points << " points (" << withoutFix
              << " without a fix), " << failed << " failed\n";
    return exit;
}

}  // namespace

void addGpsOptions(CLI::App* command, GpsOptions& o) {
    command->add_option("PATH", o.paths, "Videos, pictures or folders (searched recursively)")
        ->required();
    command->add_option("--format,-f", o.format, "text, json, gpx, kml, csv or geojson")
        ->check(CLI::IsMember({"text", "json", "gpx", "kml", "csv", "geojson"}));
    command->add_option("-o,--output", o.output, "Write to this file (default standard output)");
    command->add_option("--out-dir", o.outDir, "Write one file per input into this folder");
    command->add_option("--jobs,-j", o.jobs, "Files parsed at once (default: the cores)");
    command->add_flag("--merge", o.merge, "Write all files into one output");
}

int runGps(const GpsOptions& o, bool json) {
    if (json && o.format != "json") {
        std::cerr << "dalvex: --json prints the json format; drop --format " << o.format << "\n";
        std::cout << "[]\n";
        return kExitUsage;
    }
    bool printedTracks = false;
    const int exit = gpsTracks(o, printedTracks);
    // Standard output stays one JSON document when the caller asked for one and got no tracks.
    if (json && !printedTracks && o.output.empty() && o.outDir.empty())
        std::cout << "[]\n";
    return exit;
}

}  // namespace cli
