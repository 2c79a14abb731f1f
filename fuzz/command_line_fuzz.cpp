// The command line: the input split at NUL bytes gives the arguments. The
// texts kept in the settings stay terminated inside their fields, the
// settings stay inside their ranges, --library and --quiet-idle are taken
// only by a server, and the link facts resolved beside the run mode agree
// with it; what each option sets is for the unit tests.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "fuzz_check.h"

using namespace zek::app;
using namespace zek::link;
using namespace zek::sender;
using namespace zek::tape;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    std::vector<std::string> arguments{"zek", ""};
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == '\0')
            arguments.emplace_back();
        else
            arguments.back() += char(data[i]);
    }
    if (size == 0)
        arguments.pop_back();
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(&argument[0]);
    argv.push_back(nullptr);

    RunSettings settings;
    CommandLineOutcome outcome = readCommandLine(int(arguments.size()), argv.data(), settings);
    fuzzCheck(std::memchr(settings.channelName, '\0', sizeof settings.channelName), "channelName is terminated");
    fuzzCheck(std::memchr(settings.execCommand, '\0', sizeof settings.execCommand), "execCommand is terminated");
    fuzzCheck(settings.fileCount >= 0 && settings.fileCount <= maxFileNames, "at most maxFileNames names");
    fuzzCheck(settings.fileNames[settings.fileCount] == nullptr, "the name list has its null end");
    fuzzCheck(settings.codeMode >= TapeCode::IsoDefault && settings.codeMode <= TapeCode::Eia,
              "codeMode is a tape code");
    fuzzCheck(settings.flowMode >= FlowMode::Hardware && settings.flowMode <= FlowMode::NcNoWait, "flowMode is a flow");
    RunMode mode = settings.mode;
    bool server = mode == RunMode::ProtocolBServer || mode == RunMode::ProtocolAServer;
    bool singleProtocolB = mode == RunMode::PunchOut || mode == RunMode::Receive;
    fuzzCheck(!server || settings.linkListening, "a server's link listens");
    fuzzCheck(!singleProtocolB || !settings.linkListening, "a single Protocol B transfer does not listen");
    fuzzCheck(mode == RunMode::ProtocolAServer || settings.linkSending == (mode == RunMode::PunchOut),
              "only a punch out, or a -S run, opens its link sending");
    fuzzCheck(settings.idleEndSeconds >= 0 && settings.idleEndSeconds <= 3600, "--idle-end stays in its range");
    fuzzCheck(outcome != CommandLineOutcome::Accepted || !settings.library || server, "--library only with a server");
    fuzzCheck(outcome != CommandLineOutcome::Accepted || !settings.quietIdle || server,
              "--quiet-idle only with a server");
    fuzzCheck(settings.commentMode >= CommentMode::None && settings.commentMode <= CommentMode::AddedOnly,
              "commentMode is a -k mode");
    fuzzCheck(!settings.serverReceivesFirst || mode == RunMode::ProtocolBServer,
              "only the Protocol B server has a first cycle to choose");
    return 0;
}
