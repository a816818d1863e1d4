// Cost of one device-watch tick of the main window: with no camera (every letter listed, no
// drive behind it) and with one camera, on the real library and an in-process emulated camera.
// Prints figures; judges nothing.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "mainwindow.h"
#include "support/emulated_cameras.h"
#include "text/langtable.h"
#include "ui/headless.h"

namespace {

void Report(const char* what, std::vector<double> micros) {
    std::sort(micros.begin(), micros.end());
    double sum = 0;
    for (double m : micros)
        sum += m;
    std::printf("%-34s median %8.1f us  mean %8.1f us  p95 %8.1f us  (%zu ticks)\n", what,
                micros[micros.size() / 2], sum / double(micros.size()),
                micros[micros.size() * 95 / 100], micros.size());
}

std::vector<double> Ticks(CMainDlg& window, int count) {
    std::vector<double> micros;
    for (int i = 0; i < count; ++i) {
        const auto start = std::chrono::steady_clock::now();
        ui::headless::FireTimer(window, CMainDlg::kWatchTimer);
        const auto end = std::chrono::steady_clock::now();
        micros.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    }
    return micros;
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 200;
    // The library logs every scan; the figures are what matters here.
    std::freopen("/dev/null", "w", stderr);
    LangTable().SelectStartupLanguage(L"ENG");
    ui::headless::ScopedBackend backend;
    {
        testsupport::EmulatedDrives drives;
        for (char letter = 'C'; letter <= 'Z'; ++letter)
            drives.addEmpty(letter);
        CMainDlg window;
        window.Create();
        Report("watch tick, no camera", Ticks(window, count));
    }
    {
        testsupport::EmulatedDrives drives;
        drives.add('E');
        CMainDlg window;
        window.Create();
        Report("watch tick, one camera", Ticks(window, count));
    }
    return 0;
}
