// Runs the built leafmend as a separate process for the robustness suite:
// arguments without a shell, optional address-space and file-size limits
// (as prlimit sets them), a time limit after which it is killed, an optional
// watcher that may signal it while it runs, and its peak resident memory.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

struct RunLimits {
    rlim_t addressSpace = RLIM_INFINITY;  // bytes
    rlim_t fileSize = RLIM_INFINITY;      // bytes
    int seconds = 60;                     // killed (SIGKILL) after this
};

struct RunResult {
    int exitCode = -1;  // 128 + signal when killed by one
    bool timedOut = false;
    long peakKiB = 0;
    std::string out, err;
};

// Runs `binary args...` in `folder`; `watch` (when given) is called every
// few milliseconds with the child's pid while it runs.
inline RunResult RunProgram(const std::string& binary, const std::vector<std::string>& args,
                            const std::filesystem::path& folder, const RunLimits& limits = {},
                            const std::string& standardInput = "", const std::function<void(pid_t)>& watch = nullptr) {
    const std::filesystem::path in = folder / ".run-stdin", out = folder / ".run-stdout", err = folder / ".run-stderr";
    std::ofstream(in) << standardInput;
    const pid_t child = ::fork();
    if (child == 0) {
        if (::chdir(folder.c_str()) != 0) ::_exit(126);
        const int i = ::open(in.c_str(), O_RDONLY), o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600),
                  e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(i, 0);
        ::dup2(o, 1);
        ::dup2(e, 2);
        struct rlimit as {
            limits.addressSpace, limits.addressSpace
        };
        struct rlimit fs {
            limits.fileSize, limits.fileSize
        };
        ::setrlimit(RLIMIT_AS, &as);
        ::setrlimit(RLIMIT_FSIZE, &fs);
        if (limits.fileSize != RLIM_INFINITY) ::signal(SIGXFSZ, SIG_IGN);  // a write fails instead of killing
        std::vector<char*> argv{const_cast<char*>(binary.c_str())};
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(binary.c_str(), argv.data());
        ::_exit(127);
    }
    RunResult result;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limits.seconds);
    int status = 0;
    struct rusage usage {};
    for (;;) {
        const pid_t done = ::wait4(child, &status, WNOHANG, &usage);
        if (done == child) break;
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(child, SIGKILL);
            ::wait4(child, &status, 0, &usage);
            result.timedOut = true;
            break;
        }
        if (watch) watch(child);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.peakKiB = usage.ru_maxrss;
    auto slurp = [](const std::filesystem::path& path) {
        std::ifstream file(path, std::ios::binary);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    };
    result.out = slurp(out);
    result.err = slurp(err);
    std::filesystem::remove(in);
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return result;
}
