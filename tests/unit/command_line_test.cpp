// The option grammar and the settings each command line leaves behind.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <deque>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/usage.h"
#include "zek_version.h"

using namespace zek::app;

namespace {

using Outcome = CommandLineOutcome;

// The settings by short names, so that a table row can list what it expects.
std::string setting(const RunSettings& s, const std::string& name)
{
    std::string names;
    for (int i = 0; i < s.fileCount; ++i)
        names += (i ? " " : "") + std::string(s.fileNames[i]);
    const char* const modes[] = {"PunchOut",      "Receive",          "ProtocolBServer",
                                 "ProtocolASend", "ProtocolAReceive", "ProtocolAServer"};
    const std::map<std::string, std::string> values = {
        {"mode", modes[int(s.mode)]},
        {"sending", std::to_string(s.linkSending)},
        {"listening", std::to_string(s.linkListening)},
        {"recvFirst", std::to_string(s.serverReceivesFirst)},
        {"baud", std::to_string(s.baudRate)},
        {"flow", std::to_string(int(s.flowMode))},
        {"comment", std::to_string(int(s.commentMode))},
        {"block", std::to_string(s.dataBlockSize)},
        {"sub", std::to_string(s.subProgramCall)},
        {"append", std::to_string(s.logAppend)},
        {"files", std::to_string(s.fileCount)},
        {"lLabel", std::to_string(s.lLabelMode)},
        {"feed", std::to_string(s.tapeFeed)},
        {"skipL", std::to_string(s.skipLLines)},
        {"code", std::to_string(int(s.codeMode))},
        {"crlf", std::to_string(s.crlf)},
        {"monitor", std::to_string(s.monitor)},
        {"noStop", std::to_string(s.noStopCode)},
        {"fanuc", std::to_string(s.fanucMode)},
        {"charWait", std::to_string(s.charWait)},
        {"afterBlock", std::to_string(s.charWaitAfterBlock)},
        {"waitMs", std::to_string(s.charWaitMs)},
        {"chan", s.channelName},
        {"exec", s.execCommand},
        {"names", names},
        {"library", std::to_string(s.library)},
        {"idleEnd", std::to_string(s.idleEndSeconds)},
    };
    auto found = values.find(name);
    return found == values.end() ? "(no setting " + name + ")" : found->second;
}

// Checks "name=value, name=value": the settings that the row is about.
void expectSettings(const RunSettings& settings, const std::string& expected)
{
    std::istringstream pairs(expected);
    for (std::string pair; std::getline(pairs, pair, ',');) {
        pair.erase(0, pair.find_first_not_of(' '));
        size_t equals = pair.find('=');
        EXPECT_EQ(setting(settings, pair.substr(0, equals)), pair.substr(equals + 1)) << pair;
    }
}

struct Row {
    std::vector<std::string> args;
    Outcome outcome;
    std::string settings;
};

class CommandLine : public testing::Test {
protected:
    // The arguments after the program name; they stay alive for the test,
    // since fileNames points into them.
    char** argv(const std::vector<std::string>& arguments)
    {
        texts_.assign(1, "zek");
        texts_.insert(texts_.end(), arguments.begin(), arguments.end());
        pointers_.clear();
        for (std::string& text : texts_)
            pointers_.push_back(&text[0]);
        pointers_.push_back(nullptr);
        return pointers_.data();
    }

    Outcome read(const std::vector<std::string>& arguments)
    {
        settings_ = RunSettings{};
        return readCommandLine(int(arguments.size()) + 1, argv(arguments), settings_);
    }

    bool logAppendAfter(const std::vector<std::string>& arguments)
    {
        settings_ = RunSettings{};
        applyLogOption(int(arguments.size()) + 1, argv(arguments), settings_);
        return settings_.logAppend;
    }

    void expectRows(const std::vector<Row>& rows)
    {
        for (const Row& row : rows) {
            std::string line;
            for (const std::string& arg : row.args)
                line += " " + arg.substr(0, 40);
            SCOPED_TRACE("zek" + line);
            EXPECT_EQ(read(row.args), row.outcome);
            expectSettings(settings_, row.settings);
        }
    }

    RunSettings settings_;

private:
    std::deque<std::string> texts_;
    std::vector<char*> pointers_;
};

}  // namespace

TEST_F(CommandLine, OptionsLeaveTheirSettings)
{
    const Outcome ok = Outcome::Accepted;
    const std::vector<Row> rows = {
        {{"MAIN.NC"},
         ok,
         "chan=1, baud=4800, flow=0, code=0, mode=PunchOut, sending=1, listening=0, sub=1, comment=1, append=1, "
         "names=MAIN.NC"},
        {{"A.NC", "-", "B.NC", "C.NC"}, ok, "files=3, names=A.NC B.NC C.NC"},
        // A number ends at its last digit, the letters after it go on, and it
        // is read from its own argument only.
        {{"-b9600rp"}, ok, "baud=9600, mode=Receive, sending=0, noStop=1"},
        {{"-b", "9600"}, ok, "baud=0, names=9600"},
        {{"-b 1200"}, ok, "baud=1200"},
        {{"-b+5o"}, ok, "baud=5, monitor=1"},
        {{"-b-1"}, ok, "baud=-1"},
        {{"-b99999999999"}, ok, "baud=-1"},
        {{"-bo"}, ok, "baud=0, monitor=1"},
        {{"-b+"}, Outcome::JapaneseUsage, ""},  // the sign alone converts nothing: read as a letter
        {{"-k65539"}, ok, "comment=3"},         // kept in sixteen bits
        {{"-k0"}, ok, "comment=0"},
        {{"-w25"}, ok, "charWait=1, afterBlock=0, waitMs=25"},
        {{"-W40"}, ok, "afterBlock=1, waitMs=40"},
        {{"-W40", "-w"}, ok, "afterBlock=0, waitMs=0"},
        // Channels: a number is written in decimal; text takes the rest of its argument.
        {{"-c007o"}, ok, "chan=7, monitor=1"},
        {{"-cr"}, ok, "chan=0, mode=Receive"},
        {{"-c\\out.nc", "-o"}, ok, "chan=\\out.nc, monitor=1"},
        {{"-cdir\\out.nc"}, ok, "chan=dir\\out.nc"},
        {{"-cPC1:8000x"}, ok, "chan=PC1:8000x, exec="},
        {{"-c/dev/ttyUSB0", "-d"}, ok, "chan=/dev/ttyUSB0, flow=1, code=0"},
        {{"-xcopy a b -l", "-o"}, ok, "exec=copy a b -l, append=1, monitor=1"},
        // Case matters only where it selects another option.
        {{"-A"}, ok, "code=1"},
        {{"-I", "-B2400", "-L", "-N", "-O", "-P", "-T", "-K3", "-C3"},
         ok,
         "code=2, baud=2400, append=0, sub=0, monitor=1, noStop=1, feed=1, comment=3, chan=3"},
        {{"-E", "-Q"}, ok, "code=3, flow=3"},
        {{"-f"}, ok, "crlf=1, fanuc=0"},
        {{"-F"}, ok, "fanuc=1"},
        {{"-m"}, ok, "lLabel=1, skipL=0"},
        {{"-M"}, ok, "skipL=1"},
        {{"-G"}, ok, "mode=ProtocolASend, sending=0, block=4000"},
        {{"-g"}, ok, "block=1000"},
        {{"-RF"}, ok, "mode=ProtocolAReceive, sending=0, fanuc=1"},
        {{"-d", "-s"}, ok, "flow=0"},
        {{"-D", "-S"}, ok, "flow=0"},
        // Soft flow only before a server or Protocol A option; EIA takes the NC stop code.
        {{"-s", "-d"}, ok, "flow=0"},
        {{"-S", "-D"}, ok, "flow=0"},
        {{"-g", "-D"}, ok, "flow=0"},
        {{"-D", "-g"}, ok, "flow=2"},
        {{"-s", "-q"}, ok, "flow=3"},
        {{"-r", "-d"}, ok, "flow=1"},
        {{"-e", "-d"}, ok, "flow=2"},
        {{"-d", "-e"}, ok, "flow=2"},
        {{"-d", "-a"}, ok, "flow=1"},
    };
    expectRows(rows);
}

// Protocol A wins, in the direction of the last option that set one; then the
// Protocol A server; a server's link listens, whatever mode it ends in.
TEST_F(CommandLine, ModeOptionsInAnyOrderResolveToOneRunMode)
{
    const Outcome ok = Outcome::Accepted;
    expectRows({
        {{"-s"}, ok, "mode=ProtocolBServer, sending=0, listening=1, recvFirst=0"},
        {{"-s", "-r"}, ok, "mode=ProtocolBServer, sending=0, listening=1, recvFirst=1"},
        {{"-r", "-s"}, ok, "mode=ProtocolBServer, recvFirst=0"},
        {{"-S"}, ok, "mode=ProtocolAServer, sending=1, listening=1"},
        {{"-r", "-S"}, ok, "mode=ProtocolAServer, sending=0"},
        {{"-S", "-s"}, ok, "mode=ProtocolAServer, sending=0, recvFirst=0"},
        {{"-S", "-g"}, ok, "mode=ProtocolASend, listening=1"},
        {{"-s", "-g"}, ok, "mode=ProtocolASend, listening=1"},
        {{"-g", "-S"}, ok, "mode=ProtocolAReceive, sending=0, listening=1"},
        {{"-g", "-s"}, ok, "mode=ProtocolAReceive, listening=1"},
        {{"-g", "-r"}, ok, "mode=ProtocolAReceive, listening=0"},
        {{"-R", "-G"}, ok, "mode=ProtocolASend"},
    });
}

TEST_F(CommandLine, UsageLettersStopTheReadingWithTheOptionsBeforeThemTaken)
{
    std::vector<Row> rows = {
        {{}, Outcome::JapaneseUsage, ""},
        {{"A.NC", "-b9600j", "-o"}, Outcome::JapaneseUsage, "baud=9600, files=1, monitor=0"},
        {{"-xjob 12", "-H", "-o"}, Outcome::EnglishUsage, "exec=job 12, monitor=0"},
    };
    for (const char* letter : {"-j", "-u", "-v", "-1", "-y", "-Z", "-?", "- ", "-\x83"})
        rows.push_back({{letter}, Outcome::JapaneseUsage, ""});
    expectRows(rows);
}

// The messages of the refusals are for the run tests.
TEST_F(CommandLine, LongOptionsTakeTheirValuesInRangeAndLibraryOnlyWithAServer)
{
    const Outcome ok = Outcome::Accepted, refused = Outcome::Refused;
    expectRows({
        {{"-r", "--idle-end=3600"}, ok, "idleEnd=3600, mode=Receive"},
        {{"--idle-end=1", "--idle-end=007"}, ok, "idleEnd=7, library=0"},
        {{"--library", "-S"}, ok, "library=1, mode=ProtocolAServer"},
        {{"-s", "--library"}, ok, "library=1"},
        {{"--library", "-s", "-g"}, refused, "mode=ProtocolASend"},
        {{"--help", "--version", "-s"}, ok, "mode=ProtocolBServer"},  // answered before the reading
        {{"--bogus", "-j"}, refused, ""},
        {{"-j", "--bogus"}, Outcome::JapaneseUsage, ""},
    });
    EXPECT_FALSE(logAppendAfter({"--idle-end=x", "-l"}));
}

// One more is refused at start: the run tests check that on the built program.
TEST_F(CommandLine, ValuesUpToTheirCapacityAreTaken)
{
    std::vector<std::string> names;
    for (int i = 0; i < maxFileNames; ++i)
        names.push_back("F" + std::to_string(i) + ".NC");
    const std::string channel = "\\" + std::string(maxChannelName - 1, 'n');
    const std::string command(maxExecCommand, 'x');
    ASSERT_EQ(read(names), Outcome::Accepted);
    EXPECT_EQ(settings_.fileCount, maxFileNames);
    EXPECT_STREQ(settings_.fileNames[maxFileNames - 1], names.back().c_str());
    EXPECT_EQ(settings_.fileNames[maxFileNames], nullptr);

    expectRows({
        {{"-c" + channel}, Outcome::Accepted, "chan=" + channel},
        {{"-x" + command}, Outcome::Accepted, "exec=" + command},
    });
}

TEST_F(CommandLine, LogOptionFollowsTheGrammar)
{
    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{"-l"}, {"-b9600lo"}, {"A.NC", "-L"}})
        EXPECT_FALSE(logAppendAfter(arguments)) << arguments.back();
    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
             {"-c\\logl.nc"}, {"-cPC1:l"}, {"-xls"}, {"l"}, {"-h", "-l"}, {"-j", "-l"}, {}})
        EXPECT_TRUE(logAppendAfter(arguments)) << (arguments.empty() ? "" : arguments[0]);
}

// The usage texts write their version as fixed text: it must be the version
// the build is given. A usage text ends the run, so the run that shows it
// sends its standard output to standard error, where the check reads it, and
// finds the operator's Return waiting.
TEST(Usage, BothTextsNameTheVersionOfTheBuild)
{
    std::string version;
    for (const char* c = zek::versionNumber; *c; ++c)
        version += *c == '.' ? "\\." : std::string(1, *c);
    for (void (*showUsage)() : {printUsage, printUsageEnglish}) {
        EXPECT_EXIT(
            {
                dup2(fileno(stderr), fileno(stdout));
                std::ungetc('\n', stdin);
                showUsage();
            },
            testing::ExitedWithCode(1), " " + version + "\n");
    }
}
