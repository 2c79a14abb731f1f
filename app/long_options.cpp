#include "app/long_options.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

#include "log/log.h"

using namespace zek::log;

namespace zek::app {

namespace {

constexpr const char* libraryOption = "--library";
constexpr const char* idleEndOption = "--idle-end";
constexpr const char* quietIdleOption = "--quiet-idle";
constexpr const char* connectOption = "--connect";
constexpr const char* rfc2217Option = "--rfc2217";
constexpr const char* allowOption = "--allow";
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

template <bool RunSettings::*flag>
bool setFlag(RunSettings& settings, const char*)
{
    settings.*flag = true;
    return true;
}

bool takeAllow(RunSettings& settings, const char* value)
{
    std::string bad;
    if (value && settings.allowed.read(value, &bad))
        return true;
    echoLog("%s needs IPv4 addresses a.b.c.d or a.b.c.d/n, not \"%s\"\n", allowOption, bad.c_str());
    return false;
}

// Answered before the command line is read; here they only have to be known.
bool answeredBeforeReading(RunSettings&, const char*)
{
    return true;
}

const LongOption longOptions[] = {
    {libraryOption, false, setFlag<&RunSettings::library>},
    {idleEndOption, true, takeIdleEnd},
    {quietIdleOption, false, setFlag<&RunSettings::quietIdle>},
    {connectOption, false, setFlag<&RunSettings::connectOut>},
    {rfc2217Option, false, setFlag<&RunSettings::comPort>},
    {allowOption, true, takeAllow},
    {helpOption, false, answeredBeforeReading},
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

// A long option that fits only some runs.
struct RunNeed {
    bool given;
    bool fits;
    const char* option;
    const char* needs;  // what the run must have, as the line says it
};

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
    const bool server = isServer(settings.mode);
    const bool tcp = link::linkKindOf(settings.channelName) == link::LinkKind::Tcp;
    const RunNeed needs[] = {
        {settings.library, server, libraryOption, "-s or -S"},
        {settings.quietIdle, server, quietIdleOption, "-s or -S"},
        {settings.connectOut, server && tcp, connectOption, "-s or -S and -cHOST:PORT"},
        {settings.comPort, tcp, rfc2217Option, "-cHOST:PORT"},
        {!settings.allowed.empty(), server && tcp && !settings.connectOut, allowOption,
         "-s or -S listening on -cHOST:PORT, without --connect"},
    };
    for (const RunNeed& need : needs) {
        if (need.given && !need.fits) {
            echoLog("%s needs %s\n", need.option, need.needs);
            return false;
        }
    }
    return true;
}

}  // namespace zek::app
