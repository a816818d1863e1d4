// Prints the cost of one vendor command round trip on an emulated drive, of an identification
// scan of C to Z with 0, 1 and 3 emulated cameras, and of the table reader TKUSB_IsDevice_Ex with
// three drives that never answer beside a camera (target for the calls after the first: under
// 5 ms). Figures only; nothing here asserts a time.
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "dalvex.h"
#include "discovery.h"
#include "support/emulated_cameras.h"
#include "transport.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Figures {
    double median, p10, p90;
};

template <typename F>
Figures measure(int runs, F&& body) {
    std::vector<double> us;
    us.reserve(runs);
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        body();
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    std::sort(us.begin(), us.end());
    return {us[us.size() / 2], us[us.size() / 10], us[us.size() * 9 / 10]};
}

void print(const char* what, const Figures& f) {
    std::printf("%-44s median %9.1f us   p10 %9.1f us   p90 %9.1f us\n", what, f.median, f.p10,
                f.p90);
}

// Keeps the scan's log lines out of the figures' way.
void silenceStderr() {
    if (!std::freopen("/dev/null", "w", stderr))
        std::perror("freopen");
}

}  // namespace

int main() {
    silenceStderr();
    std::printf("Emulated-drive figures (Unix socket, in-process camera emulator)\n");
    {
        testsupport::EmulatedDrives drives;
        drives.add('E');
        char serial[32];
        print("command round trip (0xF20F, 32 bytes in)", measure(2000, [&] {
                  dalvex::readCommandFrom(0xF20F, serial, sizeof serial, "E:\\");
              }));
    }
    for (int cameras : {0, 1, 3}) {
        testsupport::EmulatedDrives drives;
        for (int i = 0; i < cameras; ++i)
            drives.add(char('X' - 2 * i));  // late letters: scan C..Z
        char label[64];
        std::snprintf(label, sizeof label, "identification scan C..Z, %d camera(s)", cameras);
        print(label, measure(cameras ? 300 : 2000, [] {
                  char letter = 0;
                  dalvex::findCameraDrive(&letter, dalvex::ScanMode::kIdentification);
              }));
    }
    {
        // The table readers ask a drive again only when it changed: the silent drives cost their
        // time-outs in the first call alone.
        testsupport::EmulatedDrives drives;
        for (char letter : {'D', 'E', 'G'}) {
            drives.add(letter);
            drives.server(letter).injectFault(camsim::Fault::kSilent, 1 << 20);
        }
        drives.add('F');
        dalvex::resetDiscoveryState();
        const auto start = Clock::now();
        const int first = TKUSB_IsDevice_Ex();
        const double firstMs =
            std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        std::printf("%-44s %9.1f ms (found %c)\n", "TKUSB_IsDevice_Ex, 3 silent + 1 camera, 1st",
                    firstMs, first);
        print("TKUSB_IsDevice_Ex, 3 silent + 1 camera, next",
              measure(200, [] { TKUSB_IsDevice_Ex(); }));
    }
    unsetenv("DALVEX_DRIVES");
    print("identification scan C..Z, system drives", measure(500, [] {
              char letter = 0;
              dalvex::findCameraDrive(&letter, dalvex::ScanMode::kIdentification);
          }));
    return 0;
}
