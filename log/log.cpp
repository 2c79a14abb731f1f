#include "log/log.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <string>
#include <utility>

#include "log/console_text.h"
#include "log/quiet_idle.h"
#include "platform/clock.h"
#include "platform/system_error.h"

namespace zek::log {

static const char* const logFileName = "ZEKLOG.TXT";
static std::FILE* logFile = nullptr;
static bool logWriteFailing = false;  // the last line did not reach the log
static BeforeMessage beforeMessage;

using MarkClock = std::chrono::steady_clock;
static constexpr std::chrono::milliseconds markInterval(100);  // the console still moves smoothly
static std::string heldMarks;
static MarkClock::time_point marksWritten;

// Every line goes to the end of the file, also after -l has emptied it:
// cut short from outside (logrotate's copytruncate), the log gets no hole
// before the next line.
bool openLog(bool append)
{
    if (!append) {
        std::FILE* emptied = std::fopen(logFileName, "w");
        if (!emptied)
            return false;
        std::fclose(emptied);
    }
    logFile = std::fopen(logFileName, "a");
    return logFile != nullptr;
}

void setBeforeMessage(BeforeMessage hook)
{
    beforeMessage = std::move(hook);
}

void closeLog()
{
    if (logFile)
        std::fclose(logFile);
    logFile = nullptr;
}

// The Windows C library gives standard error a buffer of its own once it is
// written to with fwrite while it goes to a pipe or file: flushed here, a
// line never waits in it.
static void writeHeldMarks()
{
    if (!heldMarks.empty()) {
        std::fwrite(heldMarks.data(), 1, heldMarks.size(), stderr);
        std::fflush(stderr);
    }
    heldMarks.clear();
    marksWritten = MarkClock::now();
}

static void beforeConsole()
{
    writeHeldMarks();
    if (beforeMessage)
        beforeMessage();
}

// The text after the marks held for standard error.
ZEK_PRINTF(1, 0) static void holdText(const char* format, std::va_list args)
{
    std::va_list copy;
    va_copy(copy, args);
    int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length <= 0)
        return;
    std::size_t held = heldMarks.size();
    heldMarks.resize(held + std::size_t(length) + 1);
    std::vsnprintf(&heldMarks[held], std::size_t(length) + 1, format, args);
    heldMarks.resize(held + std::size_t(length));
}

// A line on standard error goes out in one write with the marks before it.
ZEK_PRINTF(2, 0) static void writeConsole(std::FILE* stream, const char* format, std::va_list args)
{
    if (beforeMessage)
        beforeMessage();
    if (stream == stderr)
        holdText(format, args);
    writeHeldMarks();
    if (stream != stderr)
        std::vfprintf(stream, format, args);
}

ZEK_PRINTF(1, 2) static void writeConsoleLine(const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    writeConsole(stderr, format, args);
    va_end(args);
}

// A log that cannot take a line (a full disk) is said on the console once,
// and again only after it has taken one; the run goes on without it.
static void noteLogWrite(bool written)
{
    if (!written && !logWriteFailing) {
        const std::string reason = platform::lastErrorText();
        writeConsoleLine("*** %s WRITE ERROR ***: %s\n", logFileName, reason.c_str());
    }
    logWriteFailing = !written;
    std::clearerr(logFile);
}

// Server runs end only by interrupt, so every line reaches the file at once.
// A failed write marks the file, while fflush does not always say so (under
// Wine it returns 0 after one).
ZEK_PRINTF(1, 0) static void writeLog(const char* format, std::va_list args)
{
    if (!logFile)
        return;
    std::vfprintf(logFile, format, args);
    std::fflush(logFile);
    noteLogWrite(!std::ferror(logFile));
}

void echoLog(const char* format, ...)
{
    if (!admitLine())
        return;
    std::va_list args;
    va_start(args, format);
    std::va_list copy;
    va_copy(copy, args);
    writeConsole(stderr, format, args);
    writeLog(format, copy);
    va_end(copy);
    va_end(args);
}

void echoLogEach(const char* consoleFormat, const char* logFormat, ...)
{
    if (!admitLine())
        return;
    std::va_list args;
    va_start(args, logFormat);
    std::va_list copy;
    va_copy(copy, args);
    writeConsole(stderr, consoleFormat, args);
    writeLog(logFormat, copy);
    va_end(copy);
    va_end(args);
}

void echoLogText(const char* text)
{
    if (!admitLine())
        return;
    beforeConsole();
    writeConsoleText(stderr, text);
    logOnly("%s", text);
}

void logOnly(const char* format, ...)
{
    if (!admitLine())
        return;
    std::va_list args;
    va_start(args, format);
    writeLog(format, args);
    va_end(args);
}

void consoleOnly(const char* format, ...)
{
    if (!admitLine())
        return;
    std::va_list args;
    va_start(args, format);
    writeConsole(stderr, format, args);
    va_end(args);
}

void showProgress(const char* format, ...)
{
    char mark[32];
    std::va_list args;
    va_start(args, format);
    std::vsnprintf(mark, sizeof mark, format, args);
    va_end(args);
    heldMarks += mark;
    if (MarkClock::now() - marksWritten >= markInterval)
        writeHeldMarks();
}

void reportFailure(const char* call)
{
    if (!admitLine())
        return;
    const std::string reason = platform::lastErrorText();
    consoleOnly("%s: %s\n", call, reason.c_str());
}

// A server run ends by Ctrl-C, which would lose a buffered line.
void printOut(const char* format, ...)
{
    if (!admitLine())
        return;
    std::va_list args;
    va_start(args, format);
    writeConsole(stdout, format, args);
    va_end(args);
    std::fflush(stdout);
}

void echoMonitor(const char* text, std::size_t length)
{
    std::fwrite(text, 1, length, stdout);
}

// A clock the C library cannot convert reads as midnight rather than crash.
const char* timeStamp()
{
    static char text[40];
    std::time_t now = std::time(nullptr);
    std::tm local{};
    if (!platform::localTime(now, &local))
        local = std::tm{};
    std::snprintf(text, sizeof text, "%02ld:%02ld:%02ld", long(local.tm_hour), long(local.tm_min), long(local.tm_sec));
    return text;
}

}  // namespace zek::log
