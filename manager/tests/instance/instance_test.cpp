// One copy of the program per machine: a second start shows the notice and ends; the marker goes
// with the process that held it, also when that process is killed.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "os/instance.h"

namespace {

// A helper process with its standard input and output on pipes.
class Helper {
  public:
    Helper() {
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            close(in[0]);
            close(in[1]);
            close(out[0]);
            close(out[1]);
            execl(ORVANE_INSTANCE_HELPER, ORVANE_INSTANCE_HELPER, nullptr);
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        stdin_ = in[1];
        stdout_ = fdopen(out[0], "r");
    }
    ~Helper() {
        CloseInput();
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            Wait();
        }
        if (stdout_)
            fclose(stdout_);
    }
    std::string ReadLine() {
        char buffer[512];
        if (!stdout_ || !fgets(buffer, sizeof buffer, stdout_))
            return "";
        std::string line(buffer);
        if (!line.empty() && line.back() == '\n')
            line.pop_back();
        return line;
    }
    void CloseInput() {
        if (stdin_ >= 0)
            close(stdin_);
        stdin_ = -1;
    }
    void Kill() {
        kill(pid_, SIGKILL);
        Wait();
    }
    int Wait() {
        int status = 0;
        if (pid_ > 0)
            waitpid(pid_, &status, 0);
        pid_ = -1;
        return status;
    }

  private:
    pid_t pid_ = -1;
    int stdin_ = -1;
    FILE* stdout_ = nullptr;
};

TEST(SingleInstance, ASecondCopyShowsTheNoticeAndEnds) {
    Helper first;
    ASSERT_EQ(first.ReadLine(), "main window|102");

    Helper second;
    EXPECT_EQ(second.ReadLine(), "message|Orvane|The program is running!|0x30");
    EXPECT_EQ(second.ReadLine(), "exit");
    EXPECT_TRUE(WIFEXITED(second.Wait()));

    // The first copy is untouched and ends normally when its window closes.
    first.CloseInput();
    EXPECT_EQ(first.ReadLine(), "exit");
    first.Wait();

    Helper third;
    EXPECT_EQ(third.ReadLine(), "main window|102");
}

TEST(SingleInstance, AKilledCopyDoesNotLockTheNextStartOut) {
    {
        Helper first;
        ASSERT_EQ(first.ReadLine(), "main window|102");
        first.Kill();
    }
    Helper next;
    EXPECT_EQ(next.ReadLine(), "main window|102");
}

TEST(InstanceMarker, IsHeldUntilClosedAndNamesAreIndependent) {
    const std::string name = "orvane-test-" + std::to_string(getpid());
    int a = -1, b = -1, c = -1;
    ASSERT_EQ(CreateInstanceMarker(name, &a), InstanceMarker::kCreated);
    EXPECT_EQ(CreateInstanceMarker(name, &b), InstanceMarker::kAlreadyExists);
    EXPECT_EQ(b, -1);
    ASSERT_EQ(CreateInstanceMarker(name + "-other", &c), InstanceMarker::kCreated);
    close(a);
    close(c);
    ASSERT_EQ(CreateInstanceMarker(name, &b), InstanceMarker::kCreated);
    close(b);
}

TEST(InstanceMarker, ANameTooLongForTheAddressIsAFailureNotAnotherCopy) {
    int fd = -1;
    EXPECT_EQ(CreateInstanceMarker(std::string(200, 'x'), &fd), InstanceMarker::kFailed);
    EXPECT_EQ(fd, -1);
}

}  // namespace
