// The offload's copier in-process: the read-back comes from the disk, and each fault leaves no
// file under its final name.
#include "offload_copy.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/magic.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <random>

#include "digest.h"

namespace {

namespace fs = std::filesystem;

// What the seams see and do; plain globals because the seams are plain function pointers.
std::string sourcePath;
std::string watchedPath;
long residentPages = -1;
int readCalls = 0;

ssize_t plainRead(int fd, void* b, size_t n) {
    ++readCalls;
    return ::read(fd, b, n);
}

// Counts the pages of the file the page cache holds.
void countResident(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    struct stat st {};
    ::fstat(fd, &st);
    void* map = ::mmap(nullptr, size_t(st.st_size), PROT_READ, MAP_SHARED, fd, 0);
    const long page = ::sysconf(_SC_PAGESIZE);
    std::vector<unsigned char> pages(size_t((st.st_size + page - 1) / page));
    residentPages =
        ::mincore(map, size_t(st.st_size), pages.data()) == 0
            ? long(std::count_if(pages.begin(), pages.end(), [](unsigned char p) { return p & 1; }))
            : -1;
    ::munmap(map, size_t(st.st_size));
    ::close(fd);
}

class OffloadCopy : public ::testing::Test {
  protected:
    void SetUp() override {
        // The disk, not tmpfs: tmpfs pages cannot be dropped.
        char pattern[] = "/var/tmp/dalvex-copy-XXXXXX";
        dir_ = mkdtemp(pattern);
        fs::create_directories(dir_ + "/card/DCIM");
        fs::create_directories(dir_ + "/out");
        sourcePath = dir_ + "/card/DCIM/REC0001.MP4";
        writeSource(8 << 20);
        residentPages = -1;
        readCalls = 0;
    }
    void writeSource(size_t size) {
        std::ofstream f(sourcePath, std::ios::binary | std::ios::trunc);
        std::mt19937 random(7);
        for (size_t i = 0; i < size / 4; ++i) {
            const uint32_t word = random();
            f.write(reinterpret_cast<const char*>(&word), 4);
        }
        f.write("tail", std::streamsize(size % 4));
        f.close();
        struct stat st {};
        ::stat(sourcePath.c_str(), &st);
        file_ = {"DCIM/REC0001.MP4", uint64_t(st.st_size),
                 int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
    }
    void TearDown() override {
        cli::copySeams().read = plainRead;
        cli::copySeams().beforeVerify = nullptr;
        fs::remove_all(dir_);
    }
    cli::CopyResult copy() { return cli::copyVerified(dir_ + "/card", file_, dir_ + "/out", {}); }
    std::string finalPath() const { return dir_ + "/out/DCIM/REC0001.MP4"; }
    std::string partialPath() const { return dir_ + "/out/DCIM/" + cli::kPartialName; }

    std::string dir_;
    cli::CardFile file_;
};

TEST_F(OffloadCopy, VerifiesFromTheDiskAndKeepsTheModificationTime) {
    struct statfs fsInfo {};
    ASSERT_EQ(::statfs((dir_ + "/out").c_str(), &fsInfo), 0);
    cli::copySeams().beforeVerify = countResident;
    const cli::CopyResult r = copy();
    ASSERT_EQ(r.error, "");
    EXPECT_TRUE(r.verified);
    EXPECT_EQ(r.sha256, cli::digestFile(sourcePath)->sha256);
    EXPECT_EQ(cli::digestFile(finalPath())->sha256, r.sha256);
    if (fsInfo.f_type != TMPFS_MAGIC) {
        EXPECT_EQ(residentPages, 0) << "the read-back would come from the page cache";
    }
    struct stat st {};
    ASSERT_EQ(::stat(finalPath().c_str(), &st), 0);
    EXPECT_EQ(int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec, file_.mtimeNs);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    ::stat((dir_ + "/out/DCIM").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0750u);
    EXPECT_FALSE(fs::exists(partialPath()));
}

// A file of many write-back windows, not a multiple of them: the copy is whole and verified, and
// while it is written the page cache holds only its last windows, not the whole file.
TEST_F(OffloadCopy, ALargeCopyKeepsFewPagesOfItselfCached) {
    struct statfs fsInfo {};
    ASSERT_EQ(::statfs((dir_ + "/out").c_str(), &fsInfo), 0);
    if (fsInfo.f_type == TMPFS_MAGIC)
        GTEST_SKIP() << "tmpfs pages cannot be dropped";
    writeSource((48 << 20) + 3);
    static long mostResident;
    mostResident = 0;
    watchedPath = partialPath();
    cli::copySeams().read = [](int fd, void* b, size_t n) {
        if (++readCalls > 40) {  // well past the first windows
            countResident(watchedPath);
            mostResident = std::max(mostResident, residentPages);
        }
        return ::read(fd, b, n);
    };
    const cli::CopyResult r = copy();
    ASSERT_EQ(r.error, "");
    EXPECT_TRUE(r.verified);
    EXPECT_EQ(cli::digestFile(finalPath())->sha256, r.sha256);
    EXPECT_EQ(r.sha256, cli::digestFile(sourcePath)->sha256);
    const long page = ::sysconf(_SC_PAGESIZE);
    EXPECT_GT(mostResident, 0);
    EXPECT_LE(mostResident, (24l << 20) / page) << "the copy fills the page cache";
}

TEST_F(OffloadCopy, EachFaultLeavesNoFileUnderItsFinalName) {
    const struct {
        const char* name;
        ssize_t (*read)(int, void*, size_t);
        void (*beforeVerify)(const std::string&);
        const char* error;  // "" when the copy must succeed
    } cases[] = {
        {"short reads",
         [](int fd, void* b, size_t n) { return ::read(fd, b, std::min<size_t>(n, 1000)); },
         nullptr, ""},
        {"EIO on the second read",
         [](int fd, void* b, size_t n) {
             if (++readCalls == 2) {
                 errno = EIO;
                 return ssize_t(-1);
             }
             return ::read(fd, b, n);
         },
         nullptr, "cannot read the file: Input/output error"},
        {"the source grows during its copy",
         [](int fd, void* b, size_t n) {
             if (++readCalls == 1)
                 std::ofstream(sourcePath, std::ios::app | std::ios::binary) << "more";
             return ::read(fd, b, n);
         },
         nullptr, "the file changed during the copy"},
        {"the copy changed before its verification", plainRead,
         [](const std::string& path) {
             std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
             f.seekp(4096);
             f.put('X');
         },
         "the copy read back from the disk differs from the file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();  // a fresh card and archive for each case
        SetUp();
        cli::copySeams().read = c.read;
        cli::copySeams().beforeVerify = c.beforeVerify;
        const cli::CopyResult r = copy();
        EXPECT_EQ(r.error, c.error);
        EXPECT_EQ(r.verified, *c.error == 0);
        EXPECT_EQ(fs::exists(finalPath()), *c.error == 0);
        EXPECT_FALSE(fs::exists(partialPath()));
    }
}

// A folder of the archive replaced by a link (an interrupted offload tampered with): nothing is
// written through it.
TEST_F(OffloadCopy, WritesNothingThroughALinkInTheArchive) {
    fs::create_directories(dir_ + "/elsewhere");
    fs::create_directory_symlink(dir_ + "/elsewhere", dir_ + "/out/DCIM");
    const cli::CopyResult r = copy();
    EXPECT_NE(r.error.find("/out/DCIM is not a folder (a link?)"), std::string::npos) << r.error;
    EXPECT_FALSE(r.verified);
    EXPECT_TRUE(fs::is_empty(dir_ + "/elsewhere"));
}

// A write that fails (a full disk; here the file size limit) stops the copy at once: the rest of a
// long recording is not read for nothing.
TEST_F(OffloadCopy, AFailedWriteStopsReadingTheSource) {
    cli::copySeams().read = plainRead;
    ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit {};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    const struct rlimit small = {1 << 20, limit.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const cli::CopyResult r = copy();
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::signal(SIGXFSZ, SIG_DFL);
    EXPECT_EQ(r.error, "cannot write the copy: File too large");
    EXPECT_LE(readCalls, 2) << "8 MiB read in 1 MiB chunks";
    EXPECT_FALSE(fs::exists(finalPath()));
    EXPECT_FALSE(fs::exists(partialPath()));
}

}  // namespace
