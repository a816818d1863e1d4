// dalvex offload of about 2 GiB (ten files of 20 to 500 MiB) from a card folder into an archive on
// the same disk, beside the two ways of doing it without the tool:
// - the floor of any verified copy: cp -r and sync, then the copies read back with their pages
//   dropped (each byte read once, written once, read back once; no hashing);
// - by hand: sha256sum of the sources, cp -r, sync, sha256sum -c of the copies.
// The sources' pages are dropped before every run (and mincore shows none is left), each run
// writes a fresh destination. Prints the median of the runs, wall and CPU seconds, the ratios
// beside their targets, and the tool's peak memory. Figures only; nothing here asserts a time.
//
//   bench_offload [runs] [folder]     (default 3 runs, in /var/tmp: the disk, never tmpfs)
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/emulated_cameras.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kPassword = "246810";
constexpr uint64_t kMiB = uint64_t(1) << 20;
constexpr size_t kBuffer = size_t(1) << 20;
constexpr int kFileMiB[] = {500, 400, 300, 250, 200, 150, 100, 80, 50, 20};

double seconds(const timeval& t) {
    return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

double cpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void fail(const std::string& what) {
    std::fprintf(stderr, "bench_offload: %s\n", what.c_str());
    std::exit(1);
}

std::vector<std::string> filesUnder(const std::string& root) {
    std::vector<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        if (e.is_regular_file())
            files.push_back(e.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Incompressible bytes at several GB/s: xorshift64*, a fresh seed for each file.
void writeCard(const std::string& card) {
    fs::create_directories(card + "/DCIM/100MEDIA");
    std::unique_ptr<uint64_t[]> words(new uint64_t[kBuffer / 8]);
    uint64_t x = 0x9E3779B97F4A7C15u;
    int n = 0;
    for (int mib : kFileMiB) {
        char name[64];
        std::snprintf(name, sizeof name, "/DCIM/100MEDIA/REC%04d.MP4", ++n);
        const int fd = ::open((card + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0640);
        x ^= uint64_t(n) << 32;
        for (int m = 0; m < mib; ++m) {
            for (size_t i = 0; i < kBuffer / 8; ++i) {
                x ^= x >> 12;
                x ^= x << 25;
                x ^= x >> 27;
                words[i] = x * 0x2545F4914F6CDD1Du;
            }
            if (fd < 0 || ::write(fd, words.get(), kBuffer) != ssize_t(kBuffer))
                fail("cannot write the card in " + card);
        }
        if (::fsync(fd) != 0 || ::close(fd) != 0)
            fail("cannot write the card in " + card);
    }
}

// Drops the files' pages from the page cache (written back first: dirty pages stay); the pages
// still resident afterwards, counted with mincore.
long evict(const std::string& root) {
    long resident = 0;
    const long page = ::sysconf(_SC_PAGESIZE);
    for (const std::string& path : filesUnder(root)) {
        const int fd = ::open(path.c_str(), O_RDONLY);
        struct stat st {};
        if (fd < 0 || ::fstat(fd, &st) != 0 || ::fdatasync(fd) != 0 ||
            ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) != 0)
            fail("cannot drop the pages of " + path);
        if (st.st_size > 0) {
            void* map = ::mmap(nullptr, size_t(st.st_size), PROT_READ, MAP_SHARED, fd, 0);
            std::vector<unsigned char> pages(size_t((st.st_size + page - 1) / page));
            if (map == MAP_FAILED || ::mincore(map, size_t(st.st_size), pages.data()) != 0)
                fail("cannot count the resident pages of " + path);
            resident += long(
                std::count_if(pages.begin(), pages.end(), [](unsigned char p) { return p & 1; }));
            ::munmap(map, size_t(st.st_size));
        }
        ::close(fd);
    }
    return resident;
}

// Reads every file under root once, into nothing.
uint64_t readBack(const std::string& root) {
    std::unique_ptr<char[]> buffer(new char[kBuffer]);
    uint64_t total = 0;
    for (const std::string& path : filesUnder(root)) {
        const int fd = ::open(path.c_str(), O_RDONLY);
        ssize_t n;
        while (fd >= 0 && (n = ::read(fd, buffer.get(), kBuffer)) > 0)
            total += uint64_t(n);
        ::close(fd);
    }
    return total;
}

void shell(const std::string& command) {
    if (std::system(command.c_str()) != 0)
        fail("failed: " + command);
}

struct Figure {
    double seconds = 0;     // wall clock
    double cpuSeconds = 0;  // user and system time, this program's and its children's
    long peakKib = 0;       // the tool's peak resident set
};

template <typename F>
Figure timed(F&& body) {
    const double cpu = cpuSeconds(RUSAGE_SELF) + cpuSeconds(RUSAGE_CHILDREN);
    const auto start = Clock::now();
    body();
    return {std::chrono::duration<double>(Clock::now() - start).count(),
            cpuSeconds(RUSAGE_SELF) + cpuSeconds(RUSAGE_CHILDREN) - cpu, 0};
}

// cp -r and sync, then the copies read back from the disk.
Figure floorCopy(const std::string& card, const std::string& out, uint64_t bytes) {
    return timed([&] {
        shell("cp -r '" + card + "' '" + out + "' && sync");
        if (evict(out) != 0 || readBack(out) != bytes)
            fail("the copies in " + out + " did not read back from the disk");
    });
}

Figure byHand(const std::string& card, const std::string& out) {
    const std::string sums = out + ".sums";
    const Figure f = timed([&] {
        shell("cd '" + card + "' && find . -type f -exec sha256sum {} + > '" + sums + "'");
        shell("cp -r '" + card + "' '" + out + "' && sync");
        shell("cd '" + out + "' && sha256sum --quiet -c '" + sums + "'");
    });
    fs::remove(sums);
    return f;
}

// The tool as a child, its output to /dev/null; its own rusage gives the CPU time and peak.
Figure offload(const std::string& card, const std::string& archive, const std::string& state) {
    std::vector<std::string> args = {DALVEX_CLI_PATH, "offload", "--to", archive, "--from", card};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const int devnull = ::open("/dev/null", O_WRONLY);
    const auto start = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        dup2(devnull, 1);
        dup2(devnull, 2);
        setenv("DALVEX_PASSWORD", kPassword, 1);
        setenv("XDG_STATE_HOME", state.c_str(), 1);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        fail("dalvex offload failed (exit " + std::to_string(WEXITSTATUS(status)) + ")");
    ::close(devnull);
    return {std::chrono::duration<double>(Clock::now() - start).count(),
            seconds(usage.ru_utime) + seconds(usage.ru_stime), usage.ru_maxrss};
}

Figure median(std::vector<Figure> figures) {
    std::sort(figures.begin(), figures.end(),
              [](const Figure& a, const Figure& b) { return a.seconds < b.seconds; });
    Figure m = figures[figures.size() / 2];
    for (const Figure& f : figures)
        m.peakKib = std::max(m.peakKib, f.peakKib);
    return m;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const std::string base = argc > 2 ? argv[2] : "/var/tmp";
    struct statfs fsInfo {};
    if (::statfs(base.c_str(), &fsInfo) != 0 || fsInfo.f_type == TMPFS_MAGIC)
        fail(base + " is no disk folder (tmpfs pages cannot be dropped)");
    const std::string pattern = base + "/dalvex-bench-offload-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back(0);
    if (!mkdtemp(name.data()))
        fail("cannot make a folder in " + base);
    const std::string dir = name.data();
    const std::string card = dir + "/card";
    writeCard(card);
    uint64_t bytes = 0;
    for (int mib : kFileMiB)
        bytes += uint64_t(mib) * kMiB;

    testsupport::EmulatedDrives drives;
    camsim::CameraState camera;
    camera.modelCode = 33;
    camera.serial = "BWC0042";
    camera.loginPassword = kPassword;
    drives.add('E', camera);

    // Interleaved, so that a change in the machine's load touches the three alike.
    std::vector<Figure> floors, hands, tools;
    long resident = 0;
    const auto fresh = [&](const std::string& out) {
        fs::remove_all(out);
        ::sync();  // no write-back of earlier work inside the next figure
        resident = std::max(resident, evict(card));
    };
    for (int r = 0; r < runs; ++r) {
        fresh(dir + "/floor");
        floors.push_back(floorCopy(card, dir + "/floor", bytes));
        fresh(dir + "/hand");
        hands.push_back(byHand(card, dir + "/hand"));
        fresh(dir + "/archive");
        tools.push_back(offload(card, dir + "/archive", dir + "/state"));
    }
    fresh(dir + "/archive");
    const Figure lo = median(floors), hand = median(hands), tool = median(tools);

    std::printf("%d files, %.2f GiB, from %s to the same disk; median of %d runs\n",
                int(std::size(kFileMiB)), double(bytes) / double(kMiB << 10), base.c_str(), runs);
    std::printf("sources' pages resident at each start (mincore): at most %ld\n", resident);
    const auto line = [&](const char* what, const Figure& f) {
        std::printf("  %-44s %7.2f s  %6.1f MB/s  %6.2f s CPU\n", what, f.seconds,
                    double(bytes) / f.seconds / 1e6, f.cpuSeconds);
    };
    line("floor: cp -r, sync, read back from the disk", lo);
    line("by hand: sha256sum, cp -r, sync, sha256sum", hand);
    line("dalvex offload", tool);
    std::printf("  offload / floor   %5.2f (target <= 1.15)\n", tool.seconds / lo.seconds);
    std::printf("  offload / by hand %5.2f (target <= 0.50)\n", tool.seconds / hand.seconds);
    std::printf("  offload peak memory %.1f MB (target < 64 MB)\n", double(tool.peakKib) / 1024.0);
    fs::remove_all(dir);
    return 0;
}
