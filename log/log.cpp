#include "log/log.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <utility>

#include "log/console_text.h"

namespace zek::log {

static const char* const logFileName = "ZEKLOG.TXT";
static std::FILE* logFile = nullptr;
static BeforeMessage beforeMessage;

bool openLog(bool append)
{
    logFile = std::fopen(logFileName, append ? "a" : "w");
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

// Server runs end only by interrupt, so every line reaches the file at once.
ZEK_PRINTF(1, 0) static void writeLog(const char* format, std::va_list args)
{
    if (!logFile)
        return;
    std::vfprintf(logFile, format, args);
    std::fflush(logFile);
}

void echoLog(const char* format, ...)
{
    if (beforeMessage)
        beforeMessage();
    std::va_list args;
    va_start(args, format);
    std::va_list copy;
    va_copy(copy, args);
    std::vfprintf(stderr, format, args);
    writeLog(format, copy);
    va_end(copy);
    va_end(args);
}

void echoLogText(const char* text)
{
    writeConsoleText(stderr, text);
    logOnly("%s", text);
}

void logOnly(const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    writeLog(format, args);
    va_end(args);
}

// A clock the C library cannot convert reads as midnight rather than crash.
const char* timeStamp()
{
    static char text[40];
    std::time_t now = std::time(nullptr);
    const std::tm* converted = std::localtime(&now);
    std::tm local = converted ? *converted : std::tm{};
    std::snprintf(text, sizeof text, "%02ld:%02ld:%02ld", long(local.tm_hour), long(local.tm_min), long(local.tm_sec));
    return text;
}

}  // namespace zek::log
