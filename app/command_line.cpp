#include "app/command_line.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/long_options.h"
#include "app/usage.h"
#include "log/log.h"
#include "log/quiet_idle.h"
#include "zek_version.h"

using namespace zek::log;
using namespace zek::link;
using namespace zek::sender;
using namespace zek::tape;

namespace zek::app {

namespace {

// How far an option letter reaches into the rest of its argument.
enum class ValueKind {
    None,          // the next letter follows at once
    Number,        // decimal digits, then the next letter
    Text,          // the rest of the argument
    Channel,       // the rest when it names a file, host or device, else a number
    EnglishUsage,  // -h: the scan ends here
};

// The direction chosen by the last of -g, -G, -r, -R, -s and -S.
enum class Direction { Send, Receive, Serve };

// What the letters that choose the run mode have set so far. A later letter
// overwrites what an earlier one set, field by field; the run mode is
// resolved from what is left at the end.
struct ModeLetters {
    bool protocolA = false;  // -g, -G, -R
    bool serverA = false;    // -S
    bool serverB = false;    // -s
    Direction direction = Direction::Send;
    bool linkSending = true;  // the link opens as the sending side; -S leaves it
};

// The settings being filled, and the mode letters met on the way.
struct Reading {
    RunSettings& settings;
    ModeLetters letters;
};

struct Option {
    char letter;
    ValueKind value;
    void (*apply)(Reading& reading, const char* value);
    int maxLength = 0;                // longest text value the settings can hold
    const char* valueName = nullptr;  // that value in the refusal message
};

enum class OptionScope { Every, LogOnly };

}  // namespace

// Unsigned decimal conversion as a 32-bit strtoul does it, the same on every
// platform: leading white space and a sign are accepted, a value too large
// gives the largest, a minus sign negates in unsigned arithmetic. *end is the
// character after the last digit, or text itself when there is no digit.
static uint32_t readNumber(const char* text, const char** end)
{
    const uint64_t tooLarge = uint64_t(UINT32_MAX) + 1;
    const char* next = text;
    while (std::isspace(static_cast<unsigned char>(*next)))
        ++next;
    bool negative = *next == '-';
    if (*next == '-' || *next == '+')
        ++next;
    *end = text;
    uint64_t value = 0;
    for (; std::isdigit(static_cast<unsigned char>(*next)); ++next) {
        value = value * 10 + uint64_t(*next - '0');
        if (value > tooLarge)
            value = tooLarge;
        *end = next + 1;
    }
    if (value == tooLarge)
        return UINT32_MAX;
    return negative ? 0u - uint32_t(value) : uint32_t(value);
}

static uint32_t numberValue(const char* text)
{
    const char* end;
    return readNumber(text, &end);
}

// -c names an output file (a backslash anywhere), a TCP host:port (a colon
// anywhere) or a serial device by its path; otherwise a port number.
static bool channelIsText(const char* value)
{
    return std::strchr(value, '\\') || std::strchr(value, ':') || value[0] == '/';
}

static void applyChannel(RunSettings& settings, const char* value)
{
    char* name = settings.channelName;
    if (!channelIsText(value)) {
        std::snprintf(name, sizeof settings.channelName, "%lu", static_cast<unsigned long>(numberValue(value)));
        return;
    }
    std::snprintf(name, sizeof settings.channelName, "%s", value);
    if (std::strchr(value, '\\'))
        echoLog("ZEK %s FILE OUT PUT\n", name);
}

static void applyExecCommand(RunSettings& settings, const char* value)
{
    std::snprintf(settings.execCommand, sizeof settings.execCommand, "%s", value);
    echoLog("ZEK EXEC COMMAND %s\n", settings.execCommand);
}

// -d and -D choose a software flow only for a plain Protocol B transfer: a
// server or Protocol A option met earlier keeps its own flow.
static void chooseSoftFlow(Reading& reading, FlowMode mode)
{
    const ModeLetters& letters = reading.letters;
    if (!letters.serverA && !letters.serverB && !letters.protocolA)
        reading.settings.flowMode = mode;
}

static void chooseProtocolASend(Reading& reading, int32_t blockSize)
{
    reading.letters.protocolA = true;
    reading.letters.direction = Direction::Send;
    reading.letters.linkSending = false;
    reading.settings.dataBlockSize = blockSize;
}

static void chooseReceive(ModeLetters& letters)
{
    letters.direction = Direction::Receive;
    letters.linkSending = false;
}

// A server starts on hardware flow and waits for the controller.
static void chooseServer(Reading& reading, bool& server)
{
    reading.settings.flowMode = FlowMode::Hardware;
    server = true;
    reading.letters.direction = Direction::Serve;
}

static void chooseCharWait(RunSettings& settings, bool afterEachBlock, const char* value)
{
    settings.charWait = true;
    settings.charWaitAfterBlock = afterEachBlock;
    settings.charWaitMs = int32_t(numberValue(value));
}

// -k keeps its number in sixteen bits; a number other than 0 to 3 sends the
// program's own comment lines alone, as -k2 does.
static CommentMode commentModeOf(const char* value)
{
    switch (int16_t(numberValue(value))) {
    case 0:
        return CommentMode::None;
    case 1:
        return CommentMode::All;
    case 3:
        return CommentMode::AddedOnly;
    default:
        return CommentMode::ProgramOnly;
    }
}

// Upper-case entries exist only for the letters whose case selects another
// option; every other letter is looked up in lower case.
static const Option options[] = {
    {'a', ValueKind::None, [](Reading& r, const char*) { r.settings.codeMode = TapeCode::Ascii; }},
    {'b', ValueKind::Number, [](Reading& r, const char* v) { r.settings.baudRate = int32_t(numberValue(v)); }},
    {'c', ValueKind::Channel, [](Reading& r, const char* v) { applyChannel(r.settings, v); }, maxChannelName,
     "CHANNEL NAME"},
    {'d', ValueKind::None, [](Reading& r, const char*) { chooseSoftFlow(r, FlowMode::Dc3); }},
    {'D', ValueKind::None, [](Reading& r, const char*) { chooseSoftFlow(r, FlowMode::NcDc3); }},
    {'e', ValueKind::None, [](Reading& r, const char*) { r.settings.codeMode = TapeCode::Eia; }},
    {'f', ValueKind::None, [](Reading& r, const char*) { r.settings.crlf = true; }},
    {'F', ValueKind::None, [](Reading& r, const char*) { r.settings.fanucMode = true; }},
    {'g', ValueKind::None, [](Reading& r, const char*) { chooseProtocolASend(r, 1000); }},
    {'G', ValueKind::None, [](Reading& r, const char*) { chooseProtocolASend(r, 4000); }},
    {'h', ValueKind::EnglishUsage, nullptr},
    {'i', ValueKind::None, [](Reading& r, const char*) { r.settings.codeMode = TapeCode::Iso; }},
    {'k', ValueKind::Number, [](Reading& r, const char* v) { r.settings.commentMode = commentModeOf(v); }},
    {'l', ValueKind::None, [](Reading& r, const char*) { r.settings.logAppend = false; }},
    {'m', ValueKind::None, [](Reading& r, const char*) { r.settings.lLabelMode = true; }},
    {'M', ValueKind::None, [](Reading& r, const char*) { r.settings.skipLLines = true; }},
    {'n', ValueKind::None, [](Reading& r, const char*) { r.settings.subProgramCall = false; }},
    {'o', ValueKind::None, [](Reading& r, const char*) { r.settings.monitor = true; }},
    {'p', ValueKind::None, [](Reading& r, const char*) { r.settings.noStopCode = true; }},
    {'q', ValueKind::None, [](Reading& r, const char*) { r.settings.flowMode = FlowMode::NcNoWait; }},
    {'r', ValueKind::None, [](Reading& r, const char*) { chooseReceive(r.letters); }},
    {'R', ValueKind::None,
     [](Reading& r, const char*) {
         r.letters.protocolA = true;
         chooseReceive(r.letters);
     }},
    {'s', ValueKind::None,
     [](Reading& r, const char*) {
         chooseServer(r, r.letters.serverB);
         r.letters.linkSending = false;
     }},
    {'S', ValueKind::None, [](Reading& r, const char*) { chooseServer(r, r.letters.serverA); }},
    {'t', ValueKind::None, [](Reading& r, const char*) { r.settings.tapeFeed = true; }},
    {'w', ValueKind::Number, [](Reading& r, const char* v) { chooseCharWait(r.settings, false, v); }},
    {'W', ValueKind::Number, [](Reading& r, const char* v) { chooseCharWait(r.settings, true, v); }},
    {'x', ValueKind::Text, [](Reading& r, const char* v) { applyExecCommand(r.settings, v); }, maxExecCommand,
     "EXEC COMMAND"},
};

static const Option* optionWithLetter(char letter)
{
    for (const Option& option : options)
        if (option.letter == letter)
            return &option;
    return nullptr;
}

static const Option* findOption(char letter)
{
    const Option* exact = optionWithLetter(letter);
    if (exact)
        return exact;
    return optionWithLetter(char(std::tolower(static_cast<unsigned char>(letter))));
}

static bool takesRestOfArgument(const Option& option, const char* value)
{
    return option.value == ValueKind::Text || (option.value == ValueKind::Channel && channelIsText(value));
}

// Where the scan of letters goes on after this option and its value.
static const char* valueEnd(const Option& option, const char* value)
{
    if (takesRestOfArgument(option, value))
        return value + std::strlen(value);
    const char* end = value;
    if (option.value == ValueKind::Number || option.value == ValueKind::Channel)
        readNumber(value, &end);
    return end;
}

static CommandLineOutcome applyOption(Reading& reading, const Option& option, const char* value)
{
    if (takesRestOfArgument(option, value) && std::strlen(value) > size_t(option.maxLength)) {
        echoLog("%s TOO LONG (MAX %d)\n", option.valueName, option.maxLength);
        return CommandLineOutcome::Refused;
    }
    option.apply(reading, value);
    return CommandLineOutcome::Accepted;
}

static CommandLineOutcome scanOptionLetters(Reading& reading, const char* letters, OptionScope scope)
{
    const char* next = letters;
    while (*next) {
        const Option* option = findOption(*next++);
        if (!option)
            return CommandLineOutcome::JapaneseUsage;
        if (option->value == ValueKind::EnglishUsage)
            return CommandLineOutcome::EnglishUsage;
        if (scope == OptionScope::Every || option->letter == 'l') {
            CommandLineOutcome outcome = applyOption(reading, *option, next);
            if (outcome != CommandLineOutcome::Accepted)
                return outcome;
        }
        next = valueEnd(*option, next);
    }
    return CommandLineOutcome::Accepted;
}

// The list has one entry more than it holds names, so it stays null-ended.
static CommandLineOutcome addFileName(RunSettings& settings, const char* name)
{
    if (settings.fileCount == maxFileNames) {
        echoLog("TOO MANY FILE NAMES (MAX %d)\n", maxFileNames);
        return CommandLineOutcome::Refused;
    }
    settings.fileNames[settings.fileCount++] = name;
    return CommandLineOutcome::Accepted;
}

// Only the whole reading takes the long options; -l alone does not need them.
static CommandLineOutcome scanLongOption(Reading& reading, const char* argument, OptionScope scope)
{
    if (scope == OptionScope::LogOnly || readLongOption(argument, reading.settings))
        return CommandLineOutcome::Accepted;
    return CommandLineOutcome::Refused;
}

static CommandLineOutcome scanArguments(Reading& reading, int argc, char** argv, OptionScope scope)
{
    if (argc < 2)
        return CommandLineOutcome::JapaneseUsage;
    for (int index = 1; index < argc; ++index) {
        const char* argument = argv[index];
        CommandLineOutcome outcome = CommandLineOutcome::Accepted;
        if (isLongOption(argument))
            outcome = scanLongOption(reading, argument, scope);
        else if (argument[0] == '-')
            outcome = scanOptionLetters(reading, argument + 1, scope);
        else if (scope == OptionScope::Every)
            outcome = addFileName(reading.settings, argument);
        if (outcome != CommandLineOutcome::Accepted)
            return outcome;
    }
    return CommandLineOutcome::Accepted;
}

// Protocol A first, its direction from the last letter that chose one: -S -g
// and -s -g send, -g -S and -g -s receive. Then the Protocol A server, which
// also wins over -s; then Protocol B.
static RunMode runModeOf(const ModeLetters& letters)
{
    if (letters.protocolA)
        return letters.direction == Direction::Send ? RunMode::ProtocolASend : RunMode::ProtocolAReceive;
    if (letters.serverA)
        return RunMode::ProtocolAServer;
    if (letters.serverB)
        return RunMode::ProtocolBServer;
    return letters.direction == Direction::Receive ? RunMode::Receive : RunMode::PunchOut;
}

static void resolveRunMode(const ModeLetters& letters, RunSettings& settings)
{
    settings.mode = runModeOf(letters);
    settings.linkSending = letters.linkSending;
    settings.linkListening = letters.serverA || letters.serverB;
    settings.serverReceivesFirst = settings.mode == RunMode::ProtocolBServer && letters.direction == Direction::Receive;
}

void applyLogOption(int argc, char** argv, RunSettings& settings)
{
    Reading reading{settings, {}};
    scanArguments(reading, argc, argv, OptionScope::LogOnly);
}

CommandLineOutcome readCommandLine(int argc, char** argv, RunSettings& settings)
{
    Reading reading{settings, {}};
    CommandLineOutcome outcome = scanArguments(reading, argc, argv, OptionScope::Every);
    resolveRunMode(reading.letters, settings);
    if (outcome == CommandLineOutcome::Accepted && !longOptionsFitRunMode(settings))
        return CommandLineOutcome::Refused;
    // Software flow with EIA stops the peer with the EIA-coded DC3 0x93.
    if (outcome == CommandLineOutcome::Accepted && settings.codeMode == TapeCode::Eia &&
        settings.flowMode == FlowMode::Dc3)
        settings.flowMode = FlowMode::NcDc3;
    return outcome;
}

bool parseCommandLine(int argc, char** argv, RunSettings& settings)
{
    switch (readCommandLine(argc, argv, settings)) {
    case CommandLineOutcome::JapaneseUsage:
        printUsage();
    case CommandLineOutcome::EnglishUsage:
        printUsageEnglish();
    case CommandLineOutcome::Refused:
        return false;
    case CommandLineOutcome::Accepted:
        break;
    }
    setQuietIdle(settings.quietIdle);
    consoleOnly("zek Windows for NC Vr%s\n", versionNumber);
    return true;
}

}  // namespace zek::app
