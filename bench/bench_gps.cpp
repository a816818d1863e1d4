// GPS extraction from a camera-sized video: 1,810 samples spread over a 1 GiB sparse mdat (moov
// after it, as the cameras write it). Prints, per parse, the median time over repeated runs from
// the page cache and the bytes read from the file, next to the floor: a program that only reads
// each sample's length and payload at the known offsets with positioned reads.
//
// Then the peak resident memory of a JSON export of 1,000,000 points (a fresh process of this
// program runs the export, so nothing of the benchmark itself is counted), and the parse from a
// cold page cache next to its floor: the same sample reads, all of them announced with
// posix_fadvise(WILLNEED) before the first is made. The video's pages are evicted before each
// cold run with posix_fadvise(DONTNEED), and mincore confirms that they are gone; where they stay
// (a file system in memory, for one) the cold figures are skipped with the reason.
//
//   bench_gps [runs]     (default 41 runs per figure)
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "../devicelib/tests/gps/mp4_fixture.h"
#include "dalvex.h"
#include "gps/byte_reader.h"
#include "gps/gps_parser.h"

namespace {

constexpr int kSamples = 1810;
constexpr uint64_t kMdatBody = uint64_t(1) << 30;
const char* const kRmc = "$GPRMC,123519,A,2232.1234,N,11356.12345,W,022.4,084.4,230394,003.1,W*6A";

// Bytes this process has had returned by read system calls so far (the kernel's rchar).
uint64_t readCounter() {
    std::ifstream io("/proc/self/io");
    std::string key;
    uint64_t value = 0;
    while (io >> key >> value) {
        if (key == "rchar:") {
            return value;
        }
    }
    return 0;
}

// rchar also counts the reading of /proc/self/io itself; that share is measured once and removed.
uint64_t counterOverhead = 0;

uint64_t readSince(uint64_t before) {
    return readCounter() - before - counterOverhead;
}

struct Figure {
    double medianMs = 0;
    double medianCpuMs = 0;  // this process's CPU time: less disturbed by other load
    uint64_t bytes = 0;
};

double cpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

struct Variant {
    const char* name;
    std::function<uint64_t()> body;  // one parse; returns the bytes it read
    std::vector<double> wall;
    std::vector<double> cpu;
    uint64_t bytes = 0;
};

// Runs every variant once per round, so that load from other processes, which comes and goes
// on a shared machine, falls on all of them alike. The bytes are those of the last run.
std::vector<Figure> measure(int runs, std::vector<Variant>& variants) {
    for (Variant& v : variants) {
        v.body();  // warm the page cache and the allocator
    }
    for (int i = 0; i < runs; ++i) {
        for (Variant& v : variants) {
            const double cpuStart = cpuMs();
            const auto start = std::chrono::steady_clock::now();
            v.bytes = v.body();
            const auto end = std::chrono::steady_clock::now();
            v.cpu.push_back(cpuMs() - cpuStart);
            v.wall.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        }
    }
    std::vector<Figure> figures;
    for (Variant& v : variants) {
        std::sort(v.wall.begin(), v.wall.end());
        std::sort(v.cpu.begin(), v.cpu.end());
        figures.push_back({v.wall[v.wall.size() / 2], v.cpu[v.cpu.size() / 2], v.bytes});
    }
    return figures;
}

void print(const char* name, const Figure& f, const Figure& floor) {
    std::printf("%-38s %8.3f ms %8.3f ms %9llu B   %5.2fx %5.2fx %5.2fx\n", name, f.medianMs,
                f.medianCpuMs, static_cast<unsigned long long>(f.bytes),
                f.medianMs / floor.medianMs, f.medianCpuMs / floor.medianCpuMs,
                static_cast<double>(f.bytes) / static_cast<double>(floor.bytes));
}

constexpr uint32_t kMillionPoints = 1000000;

// A small video whose table has a million entries after the key, all naming one text sample: a
// million points from a file of 4 MB.
void writeMillionPointVideo(const std::string& path) {
    gpsfixture::writeBytes(path, gpsfixture::repeatedSampleVideo(kMillionPoints, kRmc));
}

// Runs the JSON export of the million-point video in a fresh process and returns its peak
// resident set in KiB, or 0 when that fails.
long exportPeakKib(const std::string& video, size_t& points) {
    const pid_t child = fork();
    if (child == 0) {
        execl("/proc/self/exe", "bench_gps", "--json-export", video.c_str(), nullptr);
        _exit(127);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return 0;
    }
    points = static_cast<size_t>(WEXITSTATUS(status) == 0 ? kMillionPoints : 0);
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return WEXITSTATUS(status) == 0 ? usage.ru_maxrss : 0;
}

// The child of exportPeakKib: exports to /dev/null, so that the figure is the process's memory
// alone, and checks that all the points were found.
int jsonExport(const char* video) {
    TKUSB_ParseVideoFileToJson(video, "/dev/null");
    dalvex::gps::GpsParser parser;
    parser.setKeepPoints(false);
    dalvex::gps::FileReader in;
    in.open(video);
    parser.parseVideo(in);
    return parser.pointCount() == kMillionPoints ? 0 : 1;
}

// Evicts the file's pages from the page cache; true when none of them stays resident.
bool evict(const std::string& path, uint64_t size, std::string& why) {
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) {
        why = "cannot open the video";
        return false;
    }
    fdatasync(fd);
    posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    void* map = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    bool gone = map != MAP_FAILED;
    if (gone) {
        const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        std::vector<unsigned char> resident((size + page - 1) / page);
        gone =
            mincore(map, size, resident.data()) == 0 &&
            std::none_of(resident.begin(), resident.end(), [](unsigned char r) { return r & 1; });
        munmap(map, size);
    }
    close(fd);
    if (!gone) {
        why =
            "the video's pages stay in memory after POSIX_FADV_DONTNEED (a file system in memory?)";
    }
    return gone;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2 && std::string(argv[1]) == "--json-export") {
        return jsonExport(argv[2]);
    }
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 41;
    {
        const uint64_t a = readCounter();
        counterOverhead = readCounter() - a;
    }
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("bench_gps_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string video = (dir / "clip.mp4").string();
    const std::string out = (dir / "track.txt").string();

    gpsfixture::HeaderFields header;
    header.keyDigits = "12345678";
    header.serverNumber = "SRV01";
    header.fileType = 3;
    header.position = "N22.535390,:E113.208699";
    const int key = gpsfixture::keyOf(header.keyDigits);
    gpsfixture::VideoSpec plan;
    plan.moovFirst = false;
    plan.mdatBodySize = kMdatBody;
    plan.samples.push_back({gpsfixture::headerRecord(header)});
    for (int i = 1; i < kSamples; ++i) {
        plan.samples.push_back({gpsfixture::scramble(
            gpsfixture::binaryRecord(static_cast<uint8_t>(i), i, -i, 1000, kRmc), key)});
    }
    const gpsfixture::Layout layout = gpsfixture::layoutVideo(plan);
    gpsfixture::writeLayout(video, layout);

    // The sample offsets, as the floor program is given them.
    std::vector<uint64_t> offsets;
    for (const auto& [offset, bytes] : layout.pieces) {
        if (bytes.size() == 130) {
            offsets.push_back(offset);
        }
    }
    std::printf("video: %s, %llu bytes, %zu samples of 128 bytes, %d runs per figure\n",
                video.c_str(), static_cast<unsigned long long>(layout.size), offsets.size(), runs);

    const auto floorRun = [&] {
        const int fd = open(video.c_str(), O_RDONLY);
        uint8_t buffer[130];
        uint64_t bytes = 0;
        for (uint64_t offset : offsets) {
            if (pread(fd, buffer, 2, static_cast<off_t>(offset)) != 2) {
                std::abort();
            }
            const size_t length = std::min<size_t>(size_t(buffer[0]) << 8 | buffer[1], 128);
            if (pread(fd, buffer + 2, length, static_cast<off_t>(offset + 2)) !=
                static_cast<ssize_t>(length)) {
                std::abort();
            }
            bytes += 2 + length;
        }
        close(fd);
        return bytes;
    };

    dalvex::gps::GpsParser parser;
    dalvex::gps::GpsFileOutput fileOutput;
    parser.setSink(&fileOutput);
    size_t points = 0;
    const auto parseWith = [&](const char* output, bool json) {
        return [&, output, json] {
            fileOutput.open(output, json);
            dalvex::gps::FileReader in;
            in.open(video.c_str());
            parser.parseVideo(in);
            points = parser.points().size();
            return in.bytesRead();
        };
    };
    const std::string jsonOut = (dir / "track.json").string();
    std::vector<Variant> variants = {
        {"floor (pread of the sample bytes)", floorRun, {}, {}, 0},
        {"parse, no output", parseWith(nullptr, false), {}, {}, 0},
        {"parse, text lines to a file", parseWith(out.c_str(), false), {}, {}, 0},
        {"parse, JSON document to a file", parseWith(jsonOut.c_str(), true), {}, {}, 0},
        {"TKUSB_ParseVideoFile, text lines",
         [&] {
             const uint64_t before = readCounter();
             TKUSB_ParseVideoFile(video.c_str(), out.c_str());
             return readSince(before);
         },
         {},
         {},
         0},
        {"TKUSB_ParseVideoFileToJson",
         [&] {
             const uint64_t before = readCounter();
             TKUSB_ParseVideoFileToJson(video.c_str(), jsonOut.c_str());
             return readSince(before);
         },
         {},
         {},
         0},
    };
    const std::vector<Figure> figures = measure(runs, variants);

    std::printf("points per parse: %zu\n", points);
    std::printf("%-38s %11s %11s %11s   %s\n", "median per parse", "wall", "cpu", "read",
                "x floor: wall cpu bytes");
    for (size_t i = 0; i < variants.size(); ++i) {
        print(variants[i].name, figures[i], figures[0]);
    }
    std::printf("JSON export: %.2fx the read floor (target at most 1.5x)\n",
                figures.back().medianMs / figures[0].medianMs);

    const std::string million = (dir / "million.mp4").string();
    writeMillionPointVideo(million);
    size_t exported = 0;
    const long peakKib = exportPeakKib(million, exported);
    if (peakKib > 0) {
        std::printf(
            "JSON export of %zu points: peak resident memory %.1f MB (target under 64 MB)\n",
            exported, static_cast<double>(peakKib) / 1024.0);
    } else {
        std::printf("JSON export of a million points: FAILED\n");
    }

    // Cold page cache: each run evicts the video first; the floor announces every sample read.
    const int coldRuns = std::max(3, runs / 4);
    std::string why;
    if (!evict(video, layout.size, why)) {
        std::printf("cold-cache figures skipped: %s\n", why.c_str());
    } else {
        const auto announcedFloor = [&] {
            const int fd = open(video.c_str(), O_RDONLY);
            for (uint64_t offset : offsets) {
                posix_fadvise(fd, static_cast<off_t>(offset), 130, POSIX_FADV_WILLNEED);
            }
            uint8_t buffer[130];
            for (uint64_t offset : offsets) {
                if (pread(fd, buffer, sizeof buffer, static_cast<off_t>(offset)) <= 0) {
                    std::abort();
                }
            }
            close(fd);
            return uint64_t(offsets.size()) * sizeof buffer;
        };
        const auto coldParse = [&] {
            dalvex::gps::FileReader in;
            in.open(video.c_str());
            fileOutput.open(nullptr, false);
            parser.parseVideo(in);
            return in.bytesRead();
        };
        std::vector<double> floorMs;
        std::vector<double> parseMs;
        for (int i = 0; i < coldRuns; ++i) {
            for (auto* run : {&floorMs, &parseMs}) {
                evict(video, layout.size, why);
                const auto start = std::chrono::steady_clock::now();
                run == &floorMs ? announcedFloor() : coldParse();
                const auto end = std::chrono::steady_clock::now();
                run->push_back(std::chrono::duration<double, std::milli>(end - start).count());
            }
        }
        std::sort(floorMs.begin(), floorMs.end());
        std::sort(parseMs.begin(), parseMs.end());
        const double floorMedian = floorMs[floorMs.size() / 2];
        const double parseMedian = parseMs[parseMs.size() / 2];
        std::printf(
            "cold cache, median of %d: announced-read floor %.3f ms, parse %.3f ms: %.2fx "
            "(target at most 1.3x)\n",
            coldRuns, floorMedian, parseMedian, parseMedian / floorMedian);
    }

    std::filesystem::remove_all(dir);
    return 0;
}
