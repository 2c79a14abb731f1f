#include "child_process.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int pollIntervalUs = 500;
constexpr int watchIntervalUs = 1000;
constexpr int readChunk = 1 << 16;
constexpr int launcherReportFd = 3;
constexpr int interruptGraceMs = 3000;
constexpr int interruptedStatus = 128 + SIGINT;  // as the launcher reports it
constexpr const char* errFileName = "bench-stderr.txt";

[[noreturn]] void execInChild(const std::vector<std::string>& argv, const std::string& dir, const std::string& outPath,
                              int err, int reportWrite)
{
    if (chdir(dir.c_str()) != 0)
        _exit(127);
    int in = open("/dev/null", O_RDONLY);
    int out = open(outPath.empty() ? "/dev/null" : outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0)
        _exit(127);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    dup2(reportWrite, launcherReportFd);
    std::vector<char*> args{const_cast<char*>(ZEK_BENCH_LAUNCH)};
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
}

bool childRunning(const ChildProcess& child)
{
    siginfo_t info{};
    return waitid(P_PID, id_t(child.pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
}

// The launcher has written the measured program's usage before it ended.
void readLauncherReport(ChildProcess& child, ChildUsage& usage)
{
    char line[128] = {};
    ssize_t count = read(child.reportFd, line, sizeof line - 1);
    if (count <= 0 || std::sscanf(line, "%d %lf %ld", &usage.exitStatus, &usage.cpuSeconds, &usage.maxRssKb) != 3)
        usage.exitStatus = -1;
}

bool waitWithin(pid_t pid, int timeoutMs, int* status)
{
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    pid_t done = 0;
    while ((done = waitpid(pid, status, WNOHANG)) == 0 && Clock::now() < deadline)
        usleep(pollIntervalUs);
    return done == pid;
}

}  // namespace

bool startChild(ChildProcess& child, const std::vector<std::string>& argv, const std::string& dir,
                const std::string& outPath)
{
    // Emptied here, before the child runs, so that no watcher can find the
    // text of an earlier run in it.
    child.errPath = dir + "/" + errFileName;
    int err = open(child.errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    int reportPipe[2];
    if (err < 0 || pipe2(reportPipe, O_CLOEXEC) != 0) {
        close(err);
        return false;
    }
    child.startTime = Clock::now();
    child.pid = fork();
    if (child.pid == 0)
        execInChild(argv, dir, outPath, err, reportPipe[1]);
    close(err);
    close(reportPipe[1]);
    child.reportFd = reportPipe[0];
    if (child.pid < 0) {
        close(child.reportFd);
        child.reportFd = -1;
        return false;
    }
    return true;
}

// Reads what the file has gained since the last look; a text cut between two
// looks is still found, since the search starts a text's length back.
bool waitForErrText(ChildProcess& child, const std::string& text, int timeoutMs, Clock::time_point* when)
{
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::FILE* err = std::fopen(child.errPath.c_str(), "rb");
    if (!err)
        return false;
    std::string window;
    std::vector<char> chunk(readChunk);
    bool found = false;
    while (!found && Clock::now() < deadline) {
        bool running = childRunning(child);
        std::size_t count;
        while ((count = std::fread(chunk.data(), 1, chunk.size(), err)) > 0) {
            window.append(chunk.data(), count);
            found = found || window.find(text) != std::string::npos;
            window.erase(0, window.size() > text.size() ? window.size() - text.size() : 0);
        }
        std::clearerr(err);
        if (found)
            *when = Clock::now();
        else if (!running)
            break;
        else
            usleep(watchIntervalUs);
    }
    std::fclose(err);
    return found;
}

// Polls rather than blocks, so that a child that hangs can be stopped in time.
ChildUsage finishChild(ChildProcess& child, int timeoutMs)
{
    ChildUsage usage;
    if (child.pid <= 0)
        return usage;
    int status = 0;
    usage.ended = waitWithin(child.pid, timeoutMs, &status);
    usage.endTime = Clock::now();
    if (!usage.ended) {
        kill(child.pid, SIGINT);  // the launcher passes it on to the program
        if (!waitWithin(child.pid, interruptGraceMs, &status)) {
            kill(child.pid, SIGKILL);
            waitpid(child.pid, &status, 0);
        }
    }
    child.pid = -1;
    readLauncherReport(child, usage);
    close(child.reportFd);
    child.reportFd = -1;
    return usage;
}

ChildUsage interruptChild(ChildProcess& child, int timeoutMs)
{
    if (child.pid > 0)
        kill(child.pid, SIGINT);
    ChildUsage usage = finishChild(child, timeoutMs);
    // The interrupt is how the operator ends a server: that is its normal end.
    if (usage.exitStatus == interruptedStatus)
        usage.exitStatus = 0;
    return usage;
}

double secondsBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double>(to - from).count();
}
