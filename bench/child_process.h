// A program run beside the bench: zek, cat, or the bench itself as a
// reference peer. Its standard error goes to a file that the bench watches,
// so a run can be timed to the line that ends its transfer without a reader
// that wakes for every progress mark.
#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

using Clock = std::chrono::steady_clock;

struct ChildUsage {
    bool ended = false;  // false: it had to be stopped after the time-out
    int exitStatus = -1;
    double cpuSeconds = 0;  // user and system time of the measured program
    long maxRssKb = 0;      // its peak resident memory
    Clock::time_point endTime;
};

struct ChildProcess {
    pid_t pid = -1;
    Clock::time_point startTime;
    std::string errPath;  // its standard error
    int reportFd = -1;    // the launcher's usage line
};

// Starts argv[0] with the other arguments in dir, through the launcher;
// standard output goes to outPath ("" for /dev/null), standard error to a
// file in dir, standard input is empty. false when it cannot start.
bool startChild(ChildProcess& child, const std::vector<std::string>& argv, const std::string& dir,
                const std::string& outPath = "");

// When text first appeared on the child's standard error (to within a
// millisecond); false after timeoutMs or once the child has ended without it.
bool waitForErrText(ChildProcess& child, const std::string& text, int timeoutMs, Clock::time_point* when);

// Waits for the end (stopping the child after timeoutMs) and reports its usage.
ChildUsage finishChild(ChildProcess& child, int timeoutMs);
// Ends a child that never stops by itself, as the operator's Ctrl-C would.
ChildUsage interruptChild(ChildProcess& child, int timeoutMs);

double secondsBetween(Clock::time_point from, Clock::time_point to);
