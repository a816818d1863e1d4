#include "gps_command.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <mutex>
#include <thread>

#include "gps/gps_parser.h"
#include "gps_render.h"
#include "session.h"
#include "sha256.h"

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
    FileTrack track;   // its points are dropped once the file's part is made
    std::string text;  // text lines or JSON document as the exports write them, or a map track
    std::string error;
    size_t points = 0;
    size_t withoutFix = 0;
};

// The library's own output, written by the parser into an anonymous in-memory file.
std::string parseToLibraryOutput(dalvex::gps::GpsParser& parser, const std::string& path,
                                 bool json) {
    const int fd = memfd_create("dalvex-gps", MFD_CLOEXEC);
    if (fd < 0)
        return "";
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    parser.openOutput(self.c_str(), json);
    parser.parse(path.c_str());
    parser.closeOutput();
    std::string out;
    char buffer[1 << 16];
    ssize_t n;
    off_t at = 0;
    while ((n = pread(fd, buffer, sizeof buffer, at)) > 0) {
        out.append(buffer, size_t(n));
        at += n;
    }
    close(fd);
    return out;
}

void parseOne(const std::string& path, GpsFormat format, Parsed& out) {
    out.track.path = path;
    const std::optional<FileDigest> digest = digestFile(path);
    if (!digest) {
        out.error = "cannot read the file";
        return;
    }
    out.track.size = digest->size;
    out.track.sha256 = digest->sha256;
    out.track.picture = dalvex::gps::isPicturePath(path.c_str());
    dalvex::gps::GpsParser parser;
    // The JSON document is built from the kept list; every other output takes the sink's copy.
    parser.setKeepPoints(format == GpsFormat::kJson);
    parser.setPointSink([&out](const dalvex::gps::GpsPoint& point, int head) {
        out.track.points.push_back({point, head});
    });
    if (format == GpsFormat::kText || format == GpsFormat::kJson)
        out.text = parseToLibraryOutput(parser, path, format == GpsFormat::kJson);
    else
        parser.parse(path.c_str());
    out.points = out.track.points.size();
    if (out.points == 0) {
        out.error = "no GPS track found";
        return;
    }
    for (const TrackPoint& t : out.track.points) {
        Position at;
        out.withoutFix += positionOf(out.track, t, at) ? 0 : 1;
    }
    if (format != GpsFormat::kText && format != GpsFormat::kJson)
        out.text = renderTrack(format, out.track);
    out.track.points = {};
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

bool writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return bool(out.flush());
}

// One output: the library's texts of the files, or a head, the tracks and a tail.
std::string assemble(GpsFormat format, const std::vector<const Parsed*>& files) {
    if (format == GpsFormat::kJson && files.size() > 1) {
        // Several documents are one JSON array of them.
        std::string all = "[\n";
        for (size_t i = 0; i < files.size(); ++i)
            all += (i ? ",\n" : "") + files[i]->text;
        return all + "]\n";
    }
    const bool map = format != GpsFormat::kText && format != GpsFormat::kJson;
    std::vector<const FileTrack*> sources;
    for (const Parsed* p : files)
        sources.push_back(&p->track);
    std::string all = map ? renderHead(format, sources) : "";
    for (size_t i = 0; i < files.size(); ++i)
        all += (i ? separatorOf(format) : "") + files[i]->text;
    return map ? all + renderTail(format) : all;
}

std::string outputName(const std::string& dir, const std::string& source, GpsFormat format,
                       std::map<std::string, int>& used) {
    std::string stem = fs::path(source).filename().string();
    const int n = used[stem]++;
    if (n > 0)
        stem += "-" + std::to_string(n + 1);
    return (fs::path(dir) / (stem + extensionOf(format))).string();
}

// The whole command; printed tells whether tracks went to standard output.
int gpsTracks(const GpsOptions& o, bool& printed) {
    const GpsFormat format = kFormats.at(o.format);
    std::vector<std::string> missing;
    const std::vector<std::string> files = expandPaths(o.paths, missing);
    int exit = kExitOk;
    for (const std::string& m : missing) {
        std::cerr << "dalvex: " << m << ": no such file or folder\n";
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

    // Names are chosen before the work starts, so they do not depend on the finishing order.
    std::vector<std::string> outputs;
    if (!o.outDir.empty()) {
        std::error_code ec;
        fs::create_directories(o.outDir, ec);
        std::map<std::string, int> used;
        for (const std::string& f : files)
            outputs.push_back(outputName(o.outDir, f, format, used));
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
                    parseOne(files[i], format, result);
                    if (!outputs.empty() && result.error.empty()) {
                        if (!writeFile(outputs[i], assemble(format, {&result})))
                            result.error = "cannot write " + outputs[i];
                        result.text.clear();  // written: no need to hold it
                    }
                } catch (const std::exception& e) {
                    result.track.path = files[i];
                    result.error = e.what();  // out of memory on a huge track
                }
                std::lock_guard<std::mutex> lock(mutex);
                parsed[i] = std::move(result);
                ++finished;
                points += parsed[i].points;
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
    std::vector<const Parsed*> good;
    size_t withoutFix = 0, failed = 0;
    for (const Parsed& p : parsed) {
        if (!p.error.empty()) {
            std::cerr << "dalvex: " << p.track.path << ": " << p.error << ", skipped\n";
            ++failed;
            continue;
        }
        good.push_back(&p);
        withoutFix += p.withoutFix;
    }
    if (failed > 0)
        exit = kExitCameraFailed;

    // With --out-dir each worker has written its own file.
    if (o.outDir.empty() && !good.empty()) {
        const std::string text = assemble(format, good);
        if (o.output.empty()) {
            std::cout << text;
            printed = true;
            std::cout.flush();
        } else if (!writeFile(o.output, text)) {
            std::cerr << "dalvex: cannot write " << o.output << "\n";
            exit = kExitCameraFailed;
        }
    }
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
