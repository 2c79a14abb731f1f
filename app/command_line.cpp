#include "app/command_line.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "log/log.h"
#include "app/run_settings.h"
#include "app/usage.h"
#include "link/channel.h"
#include "tape/tape_code.h"

namespace {

// How far an option letter reaches into the rest of its argument.
enum class ValueKind {
    None,           // the next letter follows at once
    Number,         // decimal digits, then the next letter
    Text,           // the rest of the argument
    Channel,        // the rest when it names a file, host or device, else a number
    EnglishUsage,   // -h: the scan ends here
};

struct Option {
    char letter;
    ValueKind value;
    void (*apply)(const char* value);
    int maxLength = 0;                 // longest text value the settings can hold
    const char* valueName = nullptr;   // that value in the refusal message
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

static void applyChannel(const char* value)
{
    char* name = runSettings.channelName;
    if (!channelIsText(value)) {
        std::snprintf(name, sizeof runSettings.channelName, "%lu",
                      static_cast<unsigned long>(numberValue(value)));
        return;
    }
    std::snprintf(name, sizeof runSettings.channelName, "%s", value);
    if (std::strchr(value, '\\'))
        echoLog("ZEK %s FILE OUT PUT\n", name);
}

static void applyExecCommand(const char* value)
{
    std::snprintf(runSettings.execCommand, sizeof runSettings.execCommand, "%s", value);
    echoLog("ZEK EXEC COMMAND %s\n", runSettings.execCommand);
}

// -d and -D choose a software flow only for a plain Protocol B transfer: a
// server or Protocol A option met earlier keeps its own flow.
static void chooseSoftFlow(FlowMode mode)
{
    if (!runSettings.serverA && !runSettings.serverB && !runSettings.protocolA)
        runSettings.flowMode = mode;
}

static void chooseProtocolASend(int32_t blockSize)
{
    runSettings.protocolA = 1;
    runSettings.receiveMode = TransferSend;
    runSettings.startWait = 0;
    runSettings.dataBlockSize = blockSize;
}

static void chooseCharWait(int16_t afterEachBlock, const char* value)
{
    runSettings.charWait = 1;
    runSettings.charWaitUpper = afterEachBlock;
    runSettings.charWaitMs = int32_t(numberValue(value));
}

// Upper-case entries exist only for the letters whose case selects another
// option; every other letter is looked up in lower case.
static const Option options[] = {
    {'a', ValueKind::None, [](const char*) { runSettings.codeMode = Ascii; }},
    {'b', ValueKind::Number, [](const char* v) { runSettings.baudRate = int32_t(numberValue(v)); }},
    {'c', ValueKind::Channel, applyChannel, maxChannelName, "CHANNEL NAME"},
    {'d', ValueKind::None, [](const char*) { chooseSoftFlow(FlowDc3); }},
    {'D', ValueKind::None, [](const char*) { chooseSoftFlow(FlowNcDc3); }},
    {'e', ValueKind::None, [](const char*) { runSettings.codeMode = Eia; }},
    {'f', ValueKind::None, [](const char*) { runSettings.crlf = 1; }},
    {'F', ValueKind::None, [](const char*) { runSettings.fanucMode = 1; }},
    {'g', ValueKind::None, [](const char*) { chooseProtocolASend(1000); }},
    {'G', ValueKind::None, [](const char*) { chooseProtocolASend(4000); }},
    {'h', ValueKind::EnglishUsage, nullptr},
    {'i', ValueKind::None, [](const char*) { runSettings.codeMode = Iso; }},
    {'k', ValueKind::Number,
     [](const char* v) { runSettings.commentMode = int16_t(numberValue(v)); }},
    {'l', ValueKind::None, [](const char*) { runSettings.logAppend = 0; }},
    {'m', ValueKind::None, [](const char*) { runSettings.lLabelMode = 1; }},
    {'M', ValueKind::None, [](const char*) { runSettings.skipLLines = 1; }},
    {'n', ValueKind::None, [](const char*) { runSettings.subProgramCall = 0; }},
    {'o', ValueKind::None, [](const char*) { runSettings.monitor = 1; }},
    {'p', ValueKind::None, [](const char*) { runSettings.noStopCode = 1; }},
    {'q', ValueKind::None, [](const char*) { runSettings.flowMode = FlowNcNoWait; }},
    {'r', ValueKind::None, [](const char*) {
         runSettings.receiveMode = TransferReceive;
         runSettings.startWait = 0;
     }},
    {'R', ValueKind::None, [](const char*) {
         runSettings.protocolA = 1;
         runSettings.receiveMode = TransferReceive;
         runSettings.startWait = 0;
     }},
    {'s', ValueKind::None, [](const char*) {
         runSettings.flowMode = FlowHardware;
         runSettings.serverB = 1;
         runSettings.startWait = 0;
         runSettings.receiveMode = TransferServe;
     }},
    {'S', ValueKind::None, [](const char*) {
         runSettings.flowMode = FlowHardware;
         runSettings.serverA = 1;
         runSettings.receiveMode = TransferServe;
     }},
    {'t', ValueKind::None, [](const char*) { runSettings.tapeFeed = 1; }},
    {'w', ValueKind::Number, [](const char* v) { chooseCharWait(0, v); }},
    {'W', ValueKind::Number, [](const char* v) { chooseCharWait(1, v); }},
    {'x', ValueKind::Text, applyExecCommand, maxExecCommand, "EXEC COMMAND"},
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
    return option.value == ValueKind::Text ||
           (option.value == ValueKind::Channel && channelIsText(value));
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

static CommandLineOutcome applyOption(const Option& option, const char* value)
{
    if (takesRestOfArgument(option, value) && std::strlen(value) > size_t(option.maxLength)) {
        echoLog("%s TOO LONG (MAX %d)\n", option.valueName, option.maxLength);
        return CommandLineOutcome::Refused;
    }
    option.apply(value);
    return CommandLineOutcome::Accepted;
}

static CommandLineOutcome scanOptionLetters(const char* letters, OptionScope scope)
{
    const char* next = letters;
    while (*next) {
        const Option* option = findOption(*next++);
        if (!option)
            return CommandLineOutcome::JapaneseUsage;
        if (option->value == ValueKind::EnglishUsage)
            return CommandLineOutcome::EnglishUsage;
        if (scope == OptionScope::Every || option->letter == 'l') {
            CommandLineOutcome outcome = applyOption(*option, next);
            if (outcome != CommandLineOutcome::Accepted)
                return outcome;
        }
        next = valueEnd(*option, next);
    }
    return CommandLineOutcome::Accepted;
}

// The list has one entry more than it holds names, so it stays null-ended.
static CommandLineOutcome addFileName(const char* name)
{
    if (runSettings.fileCount == maxFileNames) {
        echoLog("TOO MANY FILE NAMES (MAX %d)\n", maxFileNames);
        return CommandLineOutcome::Refused;
    }
    runSettings.fileNames[runSettings.fileCount++] = name;
    return CommandLineOutcome::Accepted;
}

static CommandLineOutcome scanArguments(int argc, char** argv, OptionScope scope)
{
    if (argc < 2)
        return CommandLineOutcome::JapaneseUsage;
    for (int index = 1; index < argc; ++index) {
        const char* argument = argv[index];
        CommandLineOutcome outcome = CommandLineOutcome::Accepted;
        if (argument[0] == '-')
            outcome = scanOptionLetters(argument + 1, scope);
        else if (scope == OptionScope::Every)
            outcome = addFileName(argument);
        if (outcome != CommandLineOutcome::Accepted)
            return outcome;
    }
    return CommandLineOutcome::Accepted;
}

void applyLogOption(int argc, char** argv)
{
    scanArguments(argc, argv, OptionScope::LogOnly);
}

CommandLineOutcome readCommandLine(int argc, char** argv)
{
    CommandLineOutcome outcome = scanArguments(argc, argv, OptionScope::Every);
    // Software flow with EIA stops the peer with the EIA-coded DC3 0x93.
    if (outcome == CommandLineOutcome::Accepted && runSettings.codeMode == Eia &&
        runSettings.flowMode == FlowDc3)
        runSettings.flowMode = FlowNcDc3;
    return outcome;
}

void parseCommandLine(int argc, char** argv)
{
    switch (readCommandLine(argc, argv)) {
    case CommandLineOutcome::JapaneseUsage:
        printUsage();
    case CommandLineOutcome::EnglishUsage:
        printUsageEnglish();
    case CommandLineOutcome::Refused:
        closeLog();
        std::exit(1);
    case CommandLineOutcome::Accepted:
        break;
    }
    std::fputs(runSettings.bannerText, stderr);
    openChannel();
}
