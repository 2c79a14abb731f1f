// The command line: the input split at NUL bytes gives the arguments. The
// texts kept in the settings stay terminated inside their fields, the list
// of file names keeps its null end, and each name is one of the arguments.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/run_settings.h"
#include "fuzz_check.h"
#include "tape/tape_code.h"

namespace {

std::vector<std::string> splitArguments(const uint8_t* data, std::size_t size)
{
    std::vector<std::string> arguments{"zek"};
    std::string current;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == '\0') {
            arguments.push_back(current);
            current.clear();
        } else {
            current += static_cast<char>(data[i]);
        }
    }
    if (size > 0)
        arguments.push_back(current);
    return arguments;
}

bool isArgument(const char* name, const std::vector<char*>& argv)
{
    for (std::size_t i = 1; i < argv.size(); ++i)
        if (argv[i] == name)
            return true;
    return false;
}

void checkSettings(CommandLineOutcome outcome, const std::vector<char*>& argv)
{
    const RunSettings& settings = runSettings;
    fuzzCheck(outcome == CommandLineOutcome::Accepted || outcome == CommandLineOutcome::JapaneseUsage ||
                  outcome == CommandLineOutcome::EnglishUsage || outcome == CommandLineOutcome::Refused,
              "the outcome is one of the four");
    fuzzCheck(std::memchr(settings.channelName, '\0', sizeof settings.channelName) != nullptr,
              "channelName is terminated inside its field");
    fuzzCheck(std::memchr(settings.execCommand, '\0', sizeof settings.execCommand) != nullptr,
              "execCommand is terminated inside its field");
    fuzzCheck(settings.fileCount >= 0 && settings.fileCount <= maxFileNames, "at most maxFileNames names");
    fuzzCheck(settings.fileNames[settings.fileCount] == nullptr, "the name list has its null end");
    for (int i = 0; i < settings.fileCount; ++i)
        fuzzCheck(isArgument(settings.fileNames[i], argv), "a file name is one of the arguments");
    fuzzCheck(settings.codeMode >= IsoDefault && settings.codeMode <= Eia, "codeMode is a tape code");
    fuzzCheck(settings.flowMode >= FlowHardware && settings.flowMode <= FlowNcNoWait, "flowMode is a flow");
    fuzzCheck(!(settings.codeMode == Eia && settings.flowMode == FlowDc3 &&
                outcome == CommandLineOutcome::Accepted),
              "EIA never flows with the plain DC3");
}

// An accepted line keeps every name that is no option, in order.
void checkNames(const std::vector<char*>& argv)
{
    int count = 0;
    for (std::size_t i = 1; i < argv.size(); ++i) {
        if (argv[i][0] == '-')
            continue;
        fuzzCheck(count < runSettings.fileCount && runSettings.fileNames[count] == argv[i],
                  "names are kept in command-line order");
        ++count;
    }
    fuzzCheck(count == runSettings.fileCount, "every name is kept");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    runSettings = RunSettings{};
    std::vector<std::string> arguments = splitArguments(data, size);
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(&argument[0]);
    std::vector<char*> keptArgv = argv;
    argv.push_back(nullptr);

    CommandLineOutcome outcome = readCommandLine(static_cast<int>(arguments.size()), argv.data());
    checkSettings(outcome, keptArgv);
    if (outcome == CommandLineOutcome::Accepted)
        checkNames(keptArgv);
    return 0;
}
