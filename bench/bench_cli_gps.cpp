// dalvex gps over a batch: 200 generated videos (one GPS sample a second for 10 minutes each)
// converted to GPX, one output file per video, with --jobs 1 and with --jobs at the core count.
// Prints files a second for each (the median of several runs) and how close the parallel run
// comes to linear scaling.
//
//   bench_cli_gps [runs]     (default 5 runs per figure)
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
        fx::VideoSpec spec;
        spec.samples.push_back({fx::keyRecord("31415926")});
        const int key = fx::keyOf("31415926");
        for (int i = 0; i < kSamples; ++i) {
            char s[112];
            std::snprintf(s, sizeof s,
                          "$GPRMC,%02d%02d%02d,A,2232.%04d,N,11356.%05d,E,012.5,090.0,071226,,*00",
                          10 + v / 60, v % 60, i % 60, (i * 7) % 10000, (i * 13) % 100000);
            spec.samples.push_back({fx::scramble(fx::textRecord(i, -i, 981, s), key)});
        }
        fx::writeLayout(dir + "/video" + std::to_string(v) + ".mp4", fx::layoutVideo(spec));
    }
}

double secondsFor(const std::string& command) {
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double medianSeconds(const std::string& command, int runs) {
    std::vector<double> times;
    for (int r = 0; r < runs; ++r)
        times.push_back(secondsFor(command));
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
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
    const double one = medianSeconds(command(1), runs);
    const double all = medianSeconds(command(cores), runs);
    std::filesystem::remove_all(dir);

    std::printf("dalvex gps: %d videos of %d samples to GPX, median of %d runs\n", kVideos,
                kSamples, runs);
    std::printf("  --jobs 1:  %8.1f files/s\n", kVideos / one);
    std::printf("  --jobs %u:  %8.1f files/s\n", cores, kVideos / all);
    // Linear scaling would divide the time by the core count; the target allows 1.2 times that.
    const double ratio = all * cores / one;
    std::printf("  speed-up %.2fx on %u cores: %.2f times the linear time (target <= 1.20)\n",
                one / all, cores, ratio);
    return 0;
}
