// dalvex gps over a batch: 200 generated videos (one GPS sample a second for 10 minutes each)
// converted to GPX, one output file per video, with --jobs 1 and with --jobs at the core count.
// Prints files a second for each (the median of several runs), how close the parallel run comes
// to linear scaling, and the CPU time of both. Then the tool's peak memory in every format for a
// video whose table names a million samples (target: under 64 MB), and the time it takes for a
// 1 GiB video, nearly all of it hashing, beside that of openssl dgst -sha256 (target: within 1.1
// times that).
//
//   bench_cli_gps [runs]     (default 5 runs per figure)
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "gps/mp4_fixture.h"

namespace {

constexpr int kVideos = 200;
constexpr int kSamples = 600;

namespace fx = gpsfixture;

void writeVideos(const std::string& dir) {
    for (int v = 0; v < kVideos; ++v) {
        fx::VideoSpec plan;
        plan.samples.push_back({fx::keyRecord("31415926")});
        const int key = fx::keyOf("31415926");
        for (int i = 0; i < kSamples; ++i) {
            char s[112];
            std::snprintf(s, sizeof s,
                          "$GPRMC,%02d%02d%02d,A,2232.%04d,N,11356.%05d,E,012.5,090.0,071226,,*00",
                          10 + v / 60, v % 60, i % 60, (i * 7) % 10000, (i * 13) % 100000);
            plan.samples.push_back({fx::scramble(fx::textRecord(i, -i, 981, s), key)});
        }
        fx::writeLayout(dir + "/video" + std::to_string(v) + ".mp4", fx::layoutVideo(plan));
    }
}

struct Figure {
    double seconds = 0;     // wall clock
    double cpuSeconds = 0;  // user and system time of the program: the work, whatever the load
};

double childCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

Figure measure(const std::string& command) {
    const double cpuBefore = childCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
            childCpuSeconds() - cpuBefore};
}

Figure median(const std::string& command, int runs) {
    std::vector<Figure> figures;
    for (int r = 0; r < runs; ++r)
        figures.push_back(measure(command));
    std::sort(figures.begin(), figures.end(),
              [](const Figure& a, const Figure& b) { return a.seconds < b.seconds; });
    return figures[figures.size() / 2];
}

constexpr uint32_t kMillionSamples = 1000000;
constexpr uint64_t kGiB = uint64_t(1) << 30;

// Runs a program with its output to /dev/null; its peak resident set in KiB, or -1 on failure.
long peakKib(const std::vector<std::string>& args) {
    const pid_t child = fork();
    if (child == 0) {
        const int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, 1);
        dup2(devnull, 2);
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return -1;
    return usage.ru_maxrss;
}

void printMemory(const std::string& dir) {
    const std::string video = dir + "/million.mp4";
    fx::writeBytes(video, fx::repeatedSampleVideo(
                              kMillionSamples,
                              "$GPRMC,123519,A,2232.1234,N,11356.12345,W,022.4,084.4,230394,,*6A"));
    std::printf("peak memory of dalvex gps, a video of %u samples (target < 64 MB):\n",
                kMillionSamples);
    for (const char* format : {"text", "json", "gpx", "kml", "csv", "geojson"}) {
        const long single = peakKib({DALVEX_CLI_PATH, "gps", video, "--format", format});
        const long merged =
            peakKib({DALVEX_CLI_PATH, "gps", video, video, "--merge", "--format", format});
        std::printf("  %-8s %7.1f MB   --merge of two: %7.1f MB\n", format, single / 1024.0,
                    merged / 1024.0);
    }
}

// A sparse 1 GiB video: reading it costs no disk, so both figures are the hashing.
void printHashing(const std::string& dir, int runs) {
    const std::string video = dir + "/big.mp4";
    fx::VideoSpec plan;
    plan.samples.push_back({fx::keyRecord("31415926")});
    plan.samples.push_back(
        {fx::scramble(fx::textRecord(0, 0, 981,
                                     "$GPRMC,101010,A,2232.1000,N,11356.10000,E,012.5,"
                                     "090.0,071226,,*00"),
                      fx::keyOf("31415926"))});
    plan.mdatBodySize = kGiB;
    fx::writeLayout(video, fx::layoutVideo(plan));
    const Figure tool = median(
        std::string(DALVEX_CLI_PATH) + " gps '" + video + "' --format gpx >/dev/null 2>&1", runs);
    const Figure openssl = median("openssl dgst -sha256 '" + video + "' >/dev/null", runs);
    std::printf("a %.2f GiB video, median of %d runs:\n",
                double(std::filesystem::file_size(video)) / double(kGiB), runs);
    std::printf(
        "  dalvex gps --format gpx %6.2f s   openssl dgst -sha256 %6.2f s   %.2f times "
        "(target <= 1.10)\n",
        tool.seconds, openssl.seconds, tool.seconds / openssl.seconds);
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    char pattern[] = "/tmp/dalvex-bench-gps-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    writeVideos(dir);

    auto command = [&](unsigned jobs) {
        return std::string(DALVEX_CLI_PATH) + " gps '" + dir + "' --format gpx --out-dir '" + dir +
               "/out' --jobs " + std::to_string(jobs) + " 2>/dev/null";
    };
    const Figure one = median(command(1), runs);
    const Figure all = median(command(cores), runs);

    std::printf("dalvex gps: %d videos of %d samples to GPX, median of %d runs\n", kVideos,
                kSamples, runs);
    std::printf("  --jobs 1:  %8.1f files/s  (%.2f s CPU)\n", kVideos / one.seconds,
                one.cpuSeconds);
    std::printf("  --jobs %u:  %8.1f files/s  (%.2f s CPU)\n", cores, kVideos / all.seconds,
                all.cpuSeconds);
    // Linear scaling would divide the time by the core count; the target allows 1.2 times that.
    // On a loaded machine the wall clock mostly shows the load: the CPU time shows whether the
    // parallel run does more work than the single one.
    std::printf("  speed-up %.2fx on %u cores: %.2f times the linear time (target <= 1.20)\n",
                one.seconds / all.seconds, cores, all.seconds * cores / one.seconds);
    std::printf("  CPU time with %u jobs: %.2f times that of one job\n", cores,
                all.cpuSeconds / one.cpuSeconds);
    printMemory(dir);
    printHashing(dir, runs);
    std::filesystem::remove_all(dir);
    return 0;
}
