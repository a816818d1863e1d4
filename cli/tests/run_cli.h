// Runs the dalvex program as a child process: its arguments, optional extra environment, and an
// optional text offered on descriptor 3 (for --password-fd 3). Standard input is /dev/null.
#pragma once

#include <fcntl.h>
#include <json/json.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace clitest {

struct Result {
    int code = -1;
    std::string out;
    std::string err;

    Json::Value json() const {
        Json::Value v;
        std::istringstream in(out);
        Json::CharReaderBuilder b;
        std::string errors;
        if (!Json::parseFromStream(b, in, &v, &errors))
            return Json::Value("unparsable: " + errors);
        return v;
    }
};

inline void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline std::string drain(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, size_t(n));
    close(fd);
    return text;
}

// program: another program to run instead (args then start with its own arguments).
inline Result run(const std::vector<std::string>& args,
                  const std::vector<std::pair<std::string, std::string>>& env = {},
                  const std::string& fd3 = "", const char* program = DALVEX_CLI_PATH) {
    char outPath[] = "/tmp/dalvex-cli-out-XXXXXX";
    char errPath[] = "/tmp/dalvex-cli-err-XXXXXX";
    const int out = mkstemp(outPath);
    const int err = mkstemp(errPath);
    int secret[2] = {-1, -1};
    if (pipe(secret) != 0)
        return {};
    (void)!write(secret[1], fd3.data(), fd3.size());
    close(secret[1]);
    const pid_t pid = fork();
    if (pid == 0) {
        const int devnull = open("/dev/null", O_RDONLY);
        dup2(devnull, 0);
        dup2(out, 1);
        dup2(err, 2);
        dup2(secret[0], 3);
        for (const auto& [name, value] : env)
            setenv(name.c_str(), value.c_str(), 1);
        std::vector<char*> argv;
        if (program == std::string(DALVEX_CLI_PATH))
            argv.push_back(const_cast<char*>(program));
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(secret[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    Result r;
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    lseek(out, 0, SEEK_SET);
    lseek(err, 0, SEEK_SET);
    r.out = drain(out);
    r.err = drain(err);
    unlink(outPath);
    unlink(errPath);
    return r;
}

}  // namespace clitest
