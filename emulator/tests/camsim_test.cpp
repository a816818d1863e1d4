// The camera emulator on its own: the model's standard commands, the state file, and the camsim
// program's life cycle.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "camsim/camera_model.h"
#include "camsim/state_file.h"

namespace {

camsim::Reply run(camsim::CameraModel& model, std::initializer_list<uint8_t> cdbHead,
                  uint32_t length, bool dataIn = true, const uint8_t* out = nullptr) {
    camsim::Command c;
    std::copy(cdbHead.begin(), cdbHead.end(), c.cdb);
    c.length = length;
    c.dataIn = dataIn;
    c.dataOut = out;
    return model.execute(c);
}

TEST(CameraModel, ReadCapacityFollowsTheMode) {
    camsim::CameraState state;
    state.commandDiskBlocks = 64;
    state.cardCapacityMiB = 1024;
    camsim::CameraModel model(state);
    auto reply = run(model, {0x25}, 8);
    ASSERT_EQ(reply.data.size(), 8u);
    EXPECT_EQ(reply.data, (std::vector<uint8_t>{0, 0, 0, 63, 0, 0, 2, 0}));
    EXPECT_EQ(model.totalSizeBytes(), 64u * 512);

    model.state().massStorage = true;
    reply = run(model, {0x25}, 8);
    EXPECT_EQ(reply.data, (std::vector<uint8_t>{0, 0x1F, 0xFF, 0xFF, 0, 0, 2, 0}));
    EXPECT_EQ(model.totalSizeBytes(), 1024ull << 20);
}

TEST(CameraModel, AnswersIdentityAndRefusesTheUnknown) {
    camsim::CameraModel model;
    auto reply = run(model, {0xB8, 0x00, 0x03, 0xF1}, 32);
    EXPECT_EQ(reply.status, camsim::kStatusGood);
    ASSERT_EQ(reply.data.size(), 32u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(reply.data.data()), 9), "TORVEKBWC");

    struct Case {
        const char* name;
        std::initializer_list<uint8_t> cdb;
        uint32_t length;
    } refused[] = {
        {"unknown sub-command", {0xB8, 0x00, 0x99, 0x99}, 32},
        {"byte 1 not zero", {0xB8, 0x01, 0x03, 0xF1}, 32},
        {"unknown opcode", {0x12}, 32},
        {"a read of another length than the command's", {0xB8, 0x00, 0x0F, 0xF2}, 4},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.name);
        reply = run(model, c.cdb, c.length);
        EXPECT_EQ(reply.status, camsim::kStatusCheckCondition);
        EXPECT_TRUE(reply.data.empty());
    }

    camsim::CameraState stick;
    stick.isCamera = false;
    camsim::CameraModel usbStick(stick);
    EXPECT_EQ(run(usbStick, {0xB8, 0x00, 0x03, 0xF1}, 32).status, camsim::kStatusCheckCondition);
}

TEST(CameraModel, RecordsWhatItReceives) {
    camsim::CameraModel model;
    const uint8_t payload[3] = {1, 2, 3};
    run(model, {0xB8, 0x00, 0x35, 0xF2}, 3, false, payload);
    const auto received = model.snapshot().received;
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].subCommand, 0xF235);
    EXPECT_FALSE(received[0].dataIn);
    EXPECT_EQ(received[0].payload, (std::vector<uint8_t>{1, 2, 3}));
    // A save copies the state without the log, and the log stays.
    EXPECT_TRUE(model.snapshotToSave().received.empty());
    EXPECT_EQ(model.snapshot().received.size(), 1u);
}

class TempDir {
  public:
    TempDir() {
        char pattern[] = "/tmp/camsim-test-XXXXXX";
        path = mkdtemp(pattern);
    }
    ~TempDir() { std::filesystem::remove_all(path); }
    std::string path;
};

TEST(StateFile, RoundTripAndMissingFile) {
    TempDir dir;
    const std::string file = dir.path + "/state.json";
    camsim::CameraState state;
    state.serial = "ROUNDTRIP1";
    state.modelCode = 48;
    state.cardCapacityMiB = 65536;
    state.records[0xF206] = {1, 2, 3, 0, 255};
    state.copyFinished = 3;
    ASSERT_TRUE(camsim::saveState(file, state));
    EXPECT_FALSE(std::filesystem::exists(file + ".tmp"));

    camsim::CameraState loaded;
    ASSERT_TRUE(camsim::loadState(file, loaded));
    EXPECT_EQ(loaded.serial, "ROUNDTRIP1");
    EXPECT_EQ(loaded.modelCode, 48);
    EXPECT_EQ(loaded.cardCapacityMiB, 65536u);
    EXPECT_EQ(loaded.records[0xF206], (std::vector<uint8_t>{1, 2, 3, 0, 255}));
    EXPECT_EQ(loaded.copyFinished, 3u);

    camsim::CameraState untouched;
    EXPECT_TRUE(camsim::loadState(dir.path + "/absent.json", untouched));
    EXPECT_EQ(untouched.serial, camsim::CameraState{}.serial);

    std::ofstream(dir.path + "/broken.json") << "{ not json";
    EXPECT_FALSE(camsim::loadState(dir.path + "/broken.json", untouched));
}

// The state holds every password: it is written 0600, and a link planted by another user where a
// temporary or the state itself goes is replaced, never followed.
TEST(StateFile, IsPrivateAndFollowsNoPlantedLink) {
    const struct {
        const char* name;
        const char* plantedAt;  // relative to the state file's path
        bool victimExists;
    } cases[] = {
        {"the old temporary's name links to a file", ".tmp", true},
        {"the old temporary's name links to nowhere yet", ".tmp", false},
        {"the state's own name links to a file", "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string file = dir.path + "/state.json";
        const std::string victim = dir.path + "/victim";
        if (c.victimExists)
            std::ofstream(victim) << "untouched";
        ASSERT_EQ(::symlink(victim.c_str(), (file + c.plantedAt).c_str()), 0);
        camsim::CameraState state;
        state.loginPassword = "SECRET";
        ASSERT_TRUE(camsim::saveState(file, state));
        struct stat st {};
        ASSERT_EQ(::lstat(file.c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode));
        EXPECT_EQ(st.st_mode & 07777, 0600u);
        if (c.victimExists) {
            std::ifstream in(victim);
            EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "untouched");
        } else {
            EXPECT_FALSE(std::filesystem::exists(victim));
        }
        camsim::CameraState loaded;
        ASSERT_TRUE(camsim::loadState(file, loaded));
        EXPECT_EQ(loaded.loginPassword, "SECRET");
    }
}

TEST(CamsimProgram, ServesUntilTerminatedAndRemovesItsSocket) {
    TempDir dir;
    const std::string socket = dir.path + "/cam.sock";
    const std::string state = dir.path + "/state.json";
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        execl(CAMSIM_PATH, "camsim", "--socket", socket.c_str(), "--serial", "PROC000001",
              "--state", state.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    bool listening = false;
    for (int i = 0; i < 100 && !listening; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        struct stat st {};
        listening = stat(socket.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
    }
    EXPECT_TRUE(listening);
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(std::filesystem::exists(socket));
    camsim::CameraState saved;
    ASSERT_TRUE(camsim::loadState(state, saved));
    EXPECT_EQ(saved.serial, "PROC000001");
}

// A TCP listener is opened on a loopback address only, unless asked for explicitly, a camera
// has one place to listen and its card must be a folder. The refusal says which rule was broken.
TEST(CamsimProgram, RefusesListenersItShouldNotOpen) {
    const struct {
        const char* args;
        const char* says;
    } cases[] = {
        {"--tcp 10.1.2.3:5000", "not a loopback address"},  // no --tcp-remote
        {"--tcp 0 --socket /tmp/never.sock", "usage:"},     // two places
        {"--tcp 127.0.0.1", "[HOST:]PORT"},                 // no port
        {"--tcp 127.0.0.1:65536", "[HOST:]PORT"},
        {"--socket /tmp/never.sock --card /nonexistent/card", "is not a folder"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const std::string command = std::string(CAMSIM_PATH) + " " + c.args + " 2>&1";
        FILE* out = popen(command.c_str(), "r");
        ASSERT_NE(out, nullptr);
        std::string text;
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, out))
            text += buffer;
        const int status = pclose(out);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 2);
        EXPECT_NE(text.find(c.says), std::string::npos) << text;
    }
}

}  // namespace
