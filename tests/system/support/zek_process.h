// Running the built zek binary in a temporary working directory, the way an
// operator runs it, with every wait bounded.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

#include "common/temp_dir.h"

// ZEKLOG.TXT with LF line ends: the Windows build writes it in text mode.
std::string logOf(const TempDir& dir);

// Console output of the Windows build is in text mode: its CR LF line ends
// are read back as LF, so that the same expectations hold on both builds.
struct ZekResult {
    int exitStatus = -1;  // -1 when it did not end by itself in time
    std::string out;      // standard output
    std::string err;      // standard error
};

// True when ZEK_COMMAND runs a Windows zek.exe (under Wine) instead of the
// built binary.
bool runningWindowsBuild();

// zek runs in this locale (LC_ALL), whatever the test's own, unless a test
// names another: its console texts depend on the locale's character set.
inline const std::string zekDefaultLocale = "C";

// Runs zek to its end with the given arguments in dir; its input is at its end.
ZekResult runZek(const std::vector<std::string>& args, const std::string& dir, int timeoutMs = 30000,
                 const std::string& locale = zekDefaultLocale);

// One run each, all at once: a run that writes to a file or port lingers a
// second before it ends, so side by side they take that second once.
struct ZekRun {
    std::vector<std::string> args;
    std::string dir;
    std::string locale = zekDefaultLocale;
};
std::vector<ZekResult> runZekTogether(const std::vector<ZekRun>& runs, int timeoutMs = 30000);

// A zek that runs beside the test (a server, or a send the test answers).
class ZekProcess {
public:
    // inputOpen: zek's input stays open, a console no one types on, so that
    // a wait for Return shows as a run that does not end.
    ZekProcess(const std::vector<std::string>& args, const std::string& dir,
               const std::string& locale = zekDefaultLocale, bool inputOpen = false);
    ~ZekProcess();  // kills the process if it still runs
    ZekProcess(const ZekProcess&) = delete;
    ZekProcess& operator=(const ZekProcess&) = delete;
    // Waits for the end; false when it did not end within timeoutMs.
    bool wait(int timeoutMs = 30000);
    void kill();  // ends it as Ctrl-C would
    // Sends a signal, as Ctrl-C (SIGINT) or systemctl stop (SIGTERM) does, without waiting.
    void sendSignal(int signal);
    // Stops the process and lets it go on, as a shell's Ctrl-Z and fg do: a
    // send it is blocked in returns with part of its bytes.
    void stopAndContinue();
    // Waits until standard error holds text count times; false after timeoutMs.
    bool waitForErr(const std::string& text, int timeoutMs = 10000, size_t count = 1);
    bool running();
    pid_t pid() const { return pid_; }
    const ZekResult& result();  // output so far, and the status once ended

private:
    void collect(int timeoutMs);
    pid_t pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
    int inFd_ = -1;
    ZekResult raw_;     // as read from the pipes
    ZekResult result_;  // raw_ with the console line ends made LF
};

// Processor time of the child processes that have ended so far, in seconds:
// a run that spins on a dead link shows here.
double childCpuSeconds();

// The real NC programs in shared/testdata/programs; "" when absent.
std::string sharedProgramsDir();
std::string readFileBytes(const std::string& path);

// Every CR LF pair as one LF.
std::string crLfAsLf(const std::string& bytes);

// How often part occurs in text, overlaps counted.
size_t countOf(const std::string& text, const std::string& part);
