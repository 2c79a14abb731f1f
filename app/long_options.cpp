#include "app/long_options.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "log/log.h"

using namespace zek::log;

namespace zek::app {

namespace {

constexpr const char* libraryOption = "--library";
constexpr const char* idleEndOption = "--idle-end";
constexpr const char* quietIdleOption = "--quiet-idle";
constexpr int minIdleEndSeconds = 1;
constexpr int maxIdleEndSeconds = 3600;

struct LongOption {
    const char* name;
    bool takesValue;  // written "--name=value"
    // value: the text after "=", or null when none came. false when the
    // value is refused, with the reason written.
    bool (*apply)(RunSettings& settings, const char* value);
};

bool allDigits(const char* text)
{
    for (const char* next = text; *next; ++next)
        if (!std::isdigit(static_cast<unsigned char>(*next)))
            return false;
    return *text != '\0';
}

bool takeIdleEnd(RunSettings& settings, const char* value)
{
    // Digits only: strtoul would take blanks and a sign as well.
    unsigned long seconds = value && allDigits(value) ? std::strtoul(value, nullptr, 10) : 0;
    if (seconds < minIdleEndSeconds || seconds > maxIdleEndSeconds) {
        echoLog("%s needs a number of seconds from %d to %d\n", idleEndOption, minIdleEndSeconds, maxIdleEndSeconds);
        return false;
    }
    settings.idleEndSeconds = int32_t(seconds);
    return true;
}

bool takeLibrary(RunSettings& settings, const char*)
{
    settings.library = true;
    return true;
}

bool takeQuietIdle(RunSettings& settings, const char*)
{
    settings.quietIdle = true;
    return true;
}

// Answered before the command line is read; here they only have to be known.
bool answeredBeforeReading(RunSettings&, const char*)
{
    return true;
}

const LongOption longOptions[] = {
    {libraryOption, false, takeLibrary},         // -s and -S only
    {idleEndOption, true, takeIdleEnd},          // a Protocol B receive
    {quietIdleOption, false, takeQuietIdle},     // -s and -S only
    {helpOption, false, answeredBeforeReading},  // answered first, as --version is
    {versionOption, false, answeredBeforeReading},
};

// The option the argument names; *value is what follows its "=", or null.
const LongOption* findLongOption(const char* argument, const char** value)
{
    for (const LongOption& option : longOptions) {
        const size_t length = std::strlen(option.name);
        if (std::strncmp(argument, option.name, length) != 0)
            continue;
        const char* rest = argument + length;
        *value = option.takesValue && *rest == '=' ? rest + 1 : nullptr;
        if (*rest == '\0' || *value)
            return &option;
    }
    return nullptr;
}

bool isServer(RunMode mode)
{
    return mode == RunMode::ProtocolBServer || mode == RunMode::ProtocolAServer;
}

}  // namespace

bool isLongOption(const char* argument)
{
    return argument[0] == '-' && argument[1] == '-';
}

bool readLongOption(const char* argument, RunSettings& settings)
{
    const char* value = nullptr;
    const LongOption* option = findLongOption(argument, &value);
    if (option)
        return option->apply(settings, value);
    echoLog("unknown option %s\n", argument);
    return false;
}

bool longOptionsFitRunMode(const RunSettings& settings)
{
    const char* serverOption = settings.library ? libraryOption : settings.quietIdle ? quietIdleOption : nullptr;
    if (!serverOption || isServer(settings.mode))
        return true;
    echoLog("%s needs -s or -S\n", serverOption);
    return false;
}

}  // namespace zek::app
