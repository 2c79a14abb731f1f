// The option grammar and the settings each command line leaves behind.

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/run_settings.h"

namespace {

class CommandLine : public testing::Test {
protected:
    void SetUp() override { runSettings = RunSettings{}; }

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

    CommandLineOutcome read(const std::vector<std::string>& arguments)
    {
        char** args = argv(arguments);
        return readCommandLine(int(arguments.size()) + 1, args);
    }

    int32_t logAppendAfter(const std::vector<std::string>& arguments)
    {
        char** args = argv(arguments);
        applyLogOption(int(arguments.size()) + 1, args);
        return runSettings.logAppend;
    }

private:
    std::deque<std::string> texts_;
    std::vector<char*> pointers_;
};

TEST_F(CommandLine, OneFileNameKeepsEveryDefault)
{
    ASSERT_EQ(read({"MAIN.NC"}), CommandLineOutcome::Accepted);
    EXPECT_STREQ(runSettings.channelName, "1");
    EXPECT_EQ(runSettings.baudRate, 4800);
    EXPECT_EQ(runSettings.flowMode, FlowHardware);
    EXPECT_EQ(runSettings.codeMode, 0);
    EXPECT_EQ(runSettings.startWait, 1);
    EXPECT_EQ(runSettings.receiveMode, TransferSend);
    EXPECT_EQ(runSettings.subProgramCall, 1);
    EXPECT_EQ(runSettings.commentMode, 1);
    EXPECT_EQ(runSettings.logAppend, 1);
    EXPECT_EQ(runSettings.fileCount, 1);
    EXPECT_STREQ(runSettings.fileNames[0], "MAIN.NC");
    EXPECT_EQ(runSettings.fileNames[1], nullptr);
}

TEST_F(CommandLine, FileNamesStayInOrderAndMinusAloneIsPassedOver)
{
    ASSERT_EQ(read({"A.NC", "-", "B.NC", "C.NC"}), CommandLineOutcome::Accepted);
    ASSERT_EQ(runSettings.fileCount, 3);
    EXPECT_STREQ(runSettings.fileNames[0], "A.NC");
    EXPECT_STREQ(runSettings.fileNames[1], "B.NC");
    EXPECT_STREQ(runSettings.fileNames[2], "C.NC");
    EXPECT_EQ(runSettings.fileNames[3], nullptr);
}

TEST_F(CommandLine, NumberEndsAtItsLastDigitAndTheLettersGoOn)
{
    ASSERT_EQ(read({"-b9600rp"}), CommandLineOutcome::Accepted);
    EXPECT_EQ(runSettings.baudRate, 9600);
    EXPECT_EQ(runSettings.receiveMode, TransferReceive);
    EXPECT_EQ(runSettings.startWait, 0);
    EXPECT_EQ(runSettings.protocolA, 0);
    EXPECT_EQ(runSettings.noStopCode, 1);
}

TEST_F(CommandLine, NumberIsReadFromItsOwnArgumentOnly)
{
    ASSERT_EQ(read({"-b", "9600"}), CommandLineOutcome::Accepted);
    EXPECT_EQ(runSettings.baudRate, 0);
    ASSERT_EQ(runSettings.fileCount, 1);
    EXPECT_STREQ(runSettings.fileNames[0], "9600");
}

TEST_F(CommandLine, NumberConversionAcceptsBlanksAndSigns)
{
    ASSERT_EQ(read({"-b 1200"}), CommandLineOutcome::Accepted);
    EXPECT_EQ(runSettings.baudRate, 1200);
    ASSERT_EQ(read({"-b+5o"}), CommandLineOutcome::Accepted);
    EXPECT_EQ(runSettings.baudRate, 5);
    EXPECT_EQ(runSettings.monitor, 1);
    ASSERT_EQ(read({"-b-1"}), CommandLineOutcome::Accepted);
    EXPECT_EQ(runSettings.baudRate, -1);
    ASSERT_EQ(read({"-b99999999999"}), CommandLineOutcome::Accepted);
    EXPECT_EQ(runSettings.baudRate, -1);
}

TEST_F(CommandLine, NumberWithoutDigitsIsZeroAndLeavesTheNextLetter)
{
    ASSERT_EQ(read({"-bo"}), CommandLineOutcome::Accepted);
    EXPECT_EQ(runSettings.baudRate, 0);
    EXPECT_EQ(runSettings.monitor, 1);
    // The sign alone converts nothing, so it is read as a letter.
    EXPECT_EQ(read({"-b+"}), CommandLineOutcome::JapaneseUsage);
}

TEST_F(CommandLine, CommentModeIsKeptInSixteenBits)
{
    ASSERT_EQ(read({"-k70000"}), CommandLineOutcome::Accepted);
    EXPECT_EQ(runSettings.commentMode, 70000 - 65536);
    ASSERT_EQ(read({"-k0"}), CommandLineOutcome::Accepted);
    EXPECT_EQ(runSettings.commentMode, 0);
}

TEST_F(CommandLine, CharacterAndBlockWaits)
{
    ASSERT_EQ(read({"-w25"}), CommandLineOutcome::Accepted);
    EXPECT_EQ(runSettings.charWait, 1);
    EXPECT_EQ(runSettings.charWaitUpper, 0);
    EXPECT_EQ(runSettings.charWaitMs, 25);
    ASSERT_EQ(read({"-W40"}), CommandLineOutcome::Accepted);
    EXPECT_EQ(runSettings.charWaitUpper, 1);
    EXPECT_EQ(runSettings.charWaitMs, 40);
    ASSERT_EQ(read({"-W40", "-w"}), CommandLineOutcome::Accepted);
    EXPECT_EQ(runSettings.charWaitUpper, 0);
    EXPECT_EQ(runSettings.charWaitMs, 0);
}

TEST_F(CommandLine, NumericChannelIsWrittenInDecimal)
{
    ASSERT_EQ(read({"-c2"}), CommandLineOutcome::Accepted);
    EXPECT_STREQ(runSettings.channelName, "2");
    ASSERT_EQ(read({"-c007o"}), CommandLineOutcome::Accepted);
    EXPECT_STREQ(runSettings.channelName, "7");
    EXPECT_EQ(runSettings.monitor, 1);
}

TEST_F(CommandLine, ChannelWithoutDigitsIsZeroAndTheLetterIsAnOption)
{
    ASSERT_EQ(read({"-cr"}), CommandLineOutcome::Accepted);
    EXPECT_STREQ(runSettings.channelName, "0");
    EXPECT_EQ(runSettings.receiveMode, TransferReceive);
}

TEST_F(CommandLine, OutputFileChannelTakesTheRestOfItsArgumentOnly)
{
    ASSERT_EQ(read({"-c\\out.nc", "-o"}), CommandLineOutcome::Accepted);
    EXPECT_STREQ(runSettings.channelName, "\\out.nc");
    EXPECT_EQ(runSettings.monitor, 1);
    ASSERT_EQ(read({"-cdir\\out.nc"}), CommandLineOutcome::Accepted);
    EXPECT_STREQ(runSettings.channelName, "dir\\out.nc");
}

TEST_F(CommandLine, HostChannelTakesTheRestOfItsArgument)
{
    ASSERT_EQ(read({"-cPC1:8000x"}), CommandLineOutcome::Accepted);
    EXPECT_STREQ(runSettings.channelName, "PC1:8000x");
    EXPECT_STREQ(runSettings.execCommand, "");
}

TEST_F(CommandLine, DevicePathChannelTakesTheRestOfItsArgument)
{
    ASSERT_EQ(read({"-c/dev/ttyUSB0", "-d"}), CommandLineOutcome::Accepted);
    EXPECT_STREQ(runSettings.channelName, "/dev/ttyUSB0");
    EXPECT_EQ(runSettings.flowMode, FlowDc3);
    EXPECT_EQ(runSettings.codeMode, 0);
}

TEST_F(CommandLine, ExecCommandTakesTheRestOfItsArgument)
{
    ASSERT_EQ(read({"-xcopy a b -l", "-o"}), CommandLineOutcome::Accepted);
    EXPECT_STREQ(runSettings.execCommand, "copy a b -l");
    EXPECT_EQ(runSettings.logAppend, 1);
    EXPECT_EQ(runSettings.monitor, 1);
}

TEST_F(CommandLine, CaseMattersOnlyWhereItSelectsAnotherOption)
{
    ASSERT_EQ(read({"-A"}), CommandLineOutcome::Accepted);
    EXPECT_EQ(runSettings.codeMode, 1);
    ASSERT_EQ(read({"-I", "-B2400", "-L", "-N", "-O", "-P", "-T", "-K3", "-C3"}),
              CommandLineOutcome::Accepted);
    EXPECT_EQ(runSettings.codeMode, 2);
    EXPECT_EQ(runSettings.baudRate, 2400);
    EXPECT_EQ(runSettings.logAppend, 0);
    EXPECT_EQ(runSettings.subProgramCall, 0);
    EXPECT_EQ(runSettings.monitor, 1);
    EXPECT_EQ(runSettings.noStopCode, 1);
    EXPECT_EQ(runSettings.tapeFeed, 1);
    EXPECT_EQ(runSettings.commentMode, 3);
    EXPECT_STREQ(runSettings.channelName, "3");
    ASSERT_EQ(read({"-E", "-Q"}), CommandLineOutcome::Accepted);
    EXPECT_EQ(runSettings.codeMode, 3);
    EXPECT_EQ(runSettings.flowMode, FlowNcNoWait);
}

TEST_F(CommandLine, UpperAndLowerCaseLettersWithTheirOwnOptions)
{
    ASSERT_EQ(read({"-D"}), CommandLineOutcome::Accepted);
    EXPECT_EQ(runSettings.flowMode, FlowNcDc3);
    ASSERT_EQ(read({"-d"}), CommandLineOutcome::Accepted);
    EXPECT_EQ(runSettings.flowMode, FlowDc3);

    ASSERT_EQ(read({"-f"}), CommandLineOutcome::Accepted);
    EXPECT_EQ(runSettings.crlf, 1);
    EXPECT_EQ(runSettings.fanucMode, 0);
    ASSERT_EQ(read({"-F"}), CommandLineOutcome::Accepted);
    EXPECT_EQ(runSettings.fanucMode, 1);

    ASSERT_EQ(read({"-m"}), CommandLineOutcome::Accepted);
    EXPECT_EQ(runSettings.lLabelMode, 1);
    EXPECT_EQ(runSettings.skipLLines, 0);
    ASSERT_EQ(read({"-M"}), CommandLineOutcome::Accepted);
    EXPECT_EQ(runSettings.skipLLines, 1);
}

TEST_F(CommandLine, ProtocolAOptions)
{
    ASSERT_EQ(read({"-G"}), CommandLineOutcome::Accepted);
    EXPECT_EQ(runSettings.protocolA, 1);
    EXPECT_EQ(runSettings.receiveMode, TransferSend);
    EXPECT_EQ(runSettings.startWait, 0);
    EXPECT_EQ(runSettings.dataBlockSize, 4000);
    ASSERT_EQ(read({"-g"}), CommandLineOutcome::Accepted);
    EXPECT_EQ(runSettings.dataBlockSize, 1000);

    runSettings = RunSettings{};
    ASSERT_EQ(read({"-RF"}), CommandLineOutcome::Accepted);
    EXPECT_EQ(runSettings.protocolA, 1);
    EXPECT_EQ(runSettings.receiveMode, TransferReceive);
    EXPECT_EQ(runSettings.startWait, 0);
    EXPECT_EQ(runSettings.fanucMode, 1);
}

TEST_F(CommandLine, ServerOptions)
{
    ASSERT_EQ(read({"-d", "-s"}), CommandLineOutcome::Accepted);
    EXPECT_EQ(runSettings.flowMode, FlowHardware);
    EXPECT_EQ(runSettings.serverB, 1);
    EXPECT_EQ(runSettings.startWait, 0);
    EXPECT_EQ(runSettings.receiveMode, TransferServe);

    runSettings = RunSettings{};
    ASSERT_EQ(read({"-D", "-S"}), CommandLineOutcome::Accepted);
    EXPECT_EQ(runSettings.flowMode, FlowHardware);
    EXPECT_EQ(runSettings.serverA, 1);
    EXPECT_EQ(runSettings.startWait, 1);
    EXPECT_EQ(runSettings.receiveMode, TransferServe);
}

TEST_F(CommandLine, SoftFlowOnlyBeforeAServerOrProtocolAOption)
{
    struct Case {
        std::vector<std::string> arguments;
        int32_t flowMode;
    };
    const Case cases[] = {
        {{"-s", "-d"}, FlowHardware}, {{"-S", "-D"}, FlowHardware}, {{"-g", "-D"}, FlowHardware},
        {{"-R", "-d"}, FlowHardware}, {{"-D", "-g"}, FlowNcDc3},    {{"-s", "-q"}, FlowNcNoWait},
        {{"-r", "-d"}, FlowDc3},
    };
    for (const Case& c : cases) {
        runSettings = RunSettings{};
        ASSERT_EQ(read(c.arguments), CommandLineOutcome::Accepted);
        EXPECT_EQ(runSettings.flowMode, c.flowMode) << c.arguments[0] << " " << c.arguments[1];
    }
}

TEST_F(CommandLine, SoftFlowWithEiaUsesTheNcStopCode)
{
    ASSERT_EQ(read({"-e", "-d"}), CommandLineOutcome::Accepted);
    EXPECT_EQ(runSettings.flowMode, FlowNcDc3);
    runSettings = RunSettings{};
    ASSERT_EQ(read({"-d", "-e"}), CommandLineOutcome::Accepted);
    EXPECT_EQ(runSettings.flowMode, FlowNcDc3);
    runSettings = RunSettings{};
    ASSERT_EQ(read({"-eq"}), CommandLineOutcome::Accepted);
    EXPECT_EQ(runSettings.flowMode, FlowNcNoWait);
    runSettings = RunSettings{};
    ASSERT_EQ(read({"-d", "-a"}), CommandLineOutcome::Accepted);
    EXPECT_EQ(runSettings.flowMode, FlowDc3);
}

TEST_F(CommandLine, LastOptionThatSetsTheDirectionWins)
{
    ASSERT_EQ(read({"-S", "-g"}), CommandLineOutcome::Accepted);
    EXPECT_EQ(runSettings.protocolA, 1);
    EXPECT_EQ(runSettings.serverA, 1);
    EXPECT_EQ(runSettings.receiveMode, TransferSend);

    runSettings = RunSettings{};
    ASSERT_EQ(read({"-g", "-S"}), CommandLineOutcome::Accepted);
    EXPECT_EQ(runSettings.protocolA, 1);
    EXPECT_EQ(runSettings.receiveMode, TransferServe);

    runSettings = RunSettings{};
    ASSERT_EQ(read({"-s", "-g"}), CommandLineOutcome::Accepted);
    EXPECT_EQ(runSettings.serverB, 1);
    EXPECT_EQ(runSettings.receiveMode, TransferSend);
}

TEST_F(CommandLine, LettersWithoutAnOptionShowTheJapaneseUsage)
{
    EXPECT_EQ(read({}), CommandLineOutcome::JapaneseUsage);
    for (const char* argument : {"-j", "-u", "-v", "-1", "-y", "-Z", "-?", "- ", "-\x83"}) {
        runSettings = RunSettings{};
        EXPECT_EQ(read({argument}), CommandLineOutcome::JapaneseUsage) << argument;
    }
}

TEST_F(CommandLine, OptionsBeforeAUsageLetterHaveTakenEffect)
{
    EXPECT_EQ(read({"A.NC", "-b9600j", "-o"}), CommandLineOutcome::JapaneseUsage);
    EXPECT_EQ(runSettings.baudRate, 9600);
    EXPECT_EQ(runSettings.fileCount, 1);
    EXPECT_EQ(runSettings.monitor, 0);

    runSettings = RunSettings{};
    EXPECT_EQ(read({"-xjob 12", "-H", "-o"}), CommandLineOutcome::EnglishUsage);
    EXPECT_STREQ(runSettings.execCommand, "job 12");
    EXPECT_EQ(runSettings.monitor, 0);
}

TEST_F(CommandLine, LogOptionFollowsTheGrammar)
{
    EXPECT_EQ(logAppendAfter({"-l"}), 0);
    runSettings = RunSettings{};
    EXPECT_EQ(logAppendAfter({"-b9600lo"}), 0);
    runSettings = RunSettings{};
    EXPECT_EQ(logAppendAfter({"A.NC", "-L"}), 0);

    for (std::vector<std::string> arguments : std::vector<std::vector<std::string>>{
             {"-c\\logl.nc"}, {"-cPC1:l"}, {"-xls"}, {"l"}, {"-h", "-l"}, {"-j", "-l"}, {}}) {
        runSettings = RunSettings{};
        EXPECT_EQ(logAppendAfter(arguments), 1) << (arguments.empty() ? "" : arguments[0]);
    }
}

TEST_F(CommandLine, LogOptionAloneChangesNothingElse)
{
    logAppendAfter({"-xrun", "-c\\out.nc", "-b9600", "-l", "A.NC"});
    EXPECT_EQ(runSettings.logAppend, 0);
    EXPECT_STREQ(runSettings.execCommand, "");
    EXPECT_STREQ(runSettings.channelName, "1");
    EXPECT_EQ(runSettings.baudRate, 4800);
    EXPECT_EQ(runSettings.fileCount, 0);
}

TEST_F(CommandLine, FileNamesUpToTheirCapacity)
{
    std::vector<std::string> names;
    for (int i = 0; i < maxFileNames; ++i)
        names.push_back("F" + std::to_string(i) + ".NC");
    ASSERT_EQ(read(names), CommandLineOutcome::Accepted);
    EXPECT_EQ(runSettings.fileCount, maxFileNames);
    EXPECT_STREQ(runSettings.fileNames[maxFileNames - 1], names.back().c_str());
    EXPECT_EQ(runSettings.fileNames[maxFileNames], nullptr);

    runSettings = RunSettings{};
    names.push_back("ONE.MORE");
    EXPECT_EQ(read(names), CommandLineOutcome::Refused);
    EXPECT_EQ(runSettings.fileCount, maxFileNames);
    EXPECT_EQ(runSettings.fileNames[maxFileNames], nullptr);
}

TEST_F(CommandLine, TextValuesUpToTheirCapacity)
{
    const std::string longest = "\\" + std::string(maxChannelName - 1, 'n');
    ASSERT_EQ(read({"-c" + longest}), CommandLineOutcome::Accepted);
    EXPECT_EQ(runSettings.channelName, longest);

    runSettings = RunSettings{};
    EXPECT_EQ(read({"-c" + longest + "n", "-o"}), CommandLineOutcome::Refused);
    EXPECT_STREQ(runSettings.channelName, "1");
    EXPECT_EQ(runSettings.monitor, 0);

    const std::string command(maxExecCommand, 'x');
    ASSERT_EQ(read({"-x" + command}), CommandLineOutcome::Accepted);
    EXPECT_EQ(runSettings.execCommand, command);
    runSettings = RunSettings{};
    EXPECT_EQ(read({"-x" + command + "y"}), CommandLineOutcome::Refused);
    EXPECT_STREQ(runSettings.execCommand, "");
}

}  // namespace
