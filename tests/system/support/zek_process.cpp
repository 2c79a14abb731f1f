#include "support/zek_process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <poll.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "support/controller.h"

namespace fs = std::filesystem;

using Clock = std::chrono::steady_clock;

// ZEK_COMMAND, when set, replaces the built binary (for example with
// "wine /path/zek.exe" to run the Windows build).
static std::vector<std::string> zekCommand()
{
    const char* command = std::getenv("ZEK_COMMAND");
    std::istringstream in(command ? command : "");
    std::vector<std::string> words{std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
    return words.empty() ? std::vector<std::string>{ZEK_BINARY} : words;
}

bool runningWindowsBuild()
{
    const std::string program = zekCommand().back();
    return program.size() > 4 && program.compare(program.size() - 4, 4, ".exe") == 0;
}

std::string crLfAsLf(const std::string& bytes)
{
    std::string text;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n'))
            text += bytes[i];
    }
    return text;
}

// Text mode on Windows writes each LF as CR LF, so there every CR LF pair
// stands for one LF (the program's own CR LF comes out as CR CR LF).
static std::string fromTextMode(const std::string& bytes)
{
    return runningWindowsBuild() ? crLfAsLf(bytes) : bytes;
}

size_t countOf(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

std::string logOf(const TempDir& dir)
{
    return fromTextMode(dir.read("ZEKLOG.TXT"));
}

std::string readFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

double childCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

std::string sharedProgramsDir()
{
    std::string dir = std::string(ZEK_SHARED_DIR) + "/testdata/programs";
    return fs::is_directory(dir) ? dir : "";
}

static pid_t spawnZek(const std::vector<std::string>& args, const std::string& dir, int inFd, int outFd, int errFd,
                      const std::string& locale)
{
    std::vector<std::string> words = zekCommand();
    words.insert(words.end(), args.begin(), args.end());
    pid_t pid = fork();
    if (pid > 0)
        setpgid(pid, pid);
    if (pid != 0)
        return pid;
    setpgid(0, 0);
    setenv("LC_ALL", locale.c_str(), 1);
    dup2(inFd, 0);
    dup2(outFd, 1);
    dup2(errFd, 2);
    if (chdir(dir.c_str()) != 0)
        _exit(127);
    std::vector<char*> argv;
    for (auto& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    execvp(argv[0], argv.data());
    _exit(127);
}

ZekProcess::ZekProcess(const std::vector<std::string>& args, const std::string& dir, const std::string& locale,
                       bool inputOpen)
{
    // Close-on-exec, so that no zek holds another one's pipes open.
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
        return;
    pid_ = spawnZek(args, dir, in[0], out[1], err[1], locale);
    close(in[0]);
    close(out[1]);
    close(err[1]);
    if (inputOpen)
        inFd_ = in[1];
    else
        close(in[1]);  // zek reads end of input when it waits for Return
    outFd_ = out[0];
    errFd_ = err[0];
    fcntl(outFd_, F_SETFL, O_NONBLOCK);
    fcntl(errFd_, F_SETFL, O_NONBLOCK);
}

ZekProcess::~ZekProcess()
{
    kill();
    if (outFd_ >= 0)
        close(outFd_);
    if (errFd_ >= 0)
        close(errFd_);
    if (inFd_ >= 0)
        close(inFd_);
}

static void drainPipe(int fd, std::string& into)
{
    char buffer[4096];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0)
            return;
        into.append(buffer, size_t(n));
    }
}

// Collects output for up to timeoutMs, or less when nothing is pending.
void ZekProcess::collect(int timeoutMs)
{
    pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
    if (poll(fds, 2, timeoutMs) > 0) {
        drainPipe(outFd_, raw_.out);
        drainPipe(errFd_, raw_.err);
        result_.out = fromTextMode(raw_.out);
        result_.err = fromTextMode(raw_.err);
    }
}

bool ZekProcess::running()
{
    if (pid_ < 0)
        return false;
    int status = 0;
    pid_t ended = waitpid(pid_, &status, WNOHANG);
    if (ended != pid_)
        return true;
    result_.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    pid_ = -1;
    collect(0);
    collect(0);
    return false;
}

bool ZekProcess::wait(int timeoutMs)
{
    auto start = Clock::now();
    while (running()) {
        if (millisecondsSince(start) > timeoutMs)
            return false;
        collect(20);
    }
    return true;
}

void ZekProcess::sendSignal(int signal)
{
    if (pid_ >= 0)
        ::kill(-pid_, signal);
}

void ZekProcess::kill()
{
    if (pid_ < 0)
        return;
    ::kill(-pid_, SIGINT);
    if (!wait(3000)) {
        ::kill(-pid_, SIGKILL);
        wait(3000);
    }
}

void ZekProcess::stopAndContinue()
{
    if (pid_ < 0)
        return;
    ::kill(-pid_, SIGSTOP);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ::kill(-pid_, SIGCONT);
}

bool ZekProcess::waitForErr(const std::string& text, int timeoutMs, size_t count)
{
    auto start = Clock::now();
    auto seen = [&] { return countOf(result_.err, text) >= count; };
    for (;;) {
        collect(20);
        if (seen())
            return true;
        if (millisecondsSince(start) > timeoutMs || !running())
            return seen();
    }
}

const ZekResult& ZekProcess::result()
{
    if (pid_ >= 0)
        collect(0);
    return result_;
}

ZekResult runZek(const std::vector<std::string>& args, const std::string& dir, int timeoutMs, const std::string& locale)
{
    return runZekTogether({{args, dir, locale}}, timeoutMs)[0];
}

std::vector<ZekResult> runZekTogether(const std::vector<ZekRun>& runs, int timeoutMs)
{
    std::vector<std::unique_ptr<ZekProcess>> started;
    for (const ZekRun& run : runs)
        started.push_back(std::make_unique<ZekProcess>(run.args, run.dir, run.locale));
    std::vector<ZekResult> results;
    for (auto& zek : started) {
        zek->wait(timeoutMs);
        results.push_back(zek->result());
    }
    return results;
}
