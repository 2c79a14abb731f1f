#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "link/channel.h"
#include "sender/call_line.h"
#include "sender/plain_send.h"
#include "sender/subprogram_send.h"
#include "sender_work_dir.h"
#include "tape/tape_code.h"

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

const std::string timePattern = "[0-9]{2}:[0-9]{2}:[0-9]{2}";

class Sender : public testing::Test {
protected:
    void SetUp() override
    {
        runSettings.codeMode = Ascii;
        ensureMacroFile();
    }

    void file(const std::string& name, const std::string& bytes) { work.dir.write(name, bytes); }

    // Sends into an output-file channel; the bytes land in tape, the messages in err.
    int run(const std::function<int()>& send)
    {
        CaptureStderr();
        EXPECT_EQ(openOutputFile("\\out.nc"), 0);
        int result = send();
        closeChannel();
        err = GetCapturedStderr();
        tape = work.dir.read("out.nc");
        return result;
    }

    int expand(const std::string& name)
    {
        return run([&] { return subProgramSend(name.c_str(), true, InlineCall, 1, nullptr); });
    }

    int plain(const std::string& name)
    {
        return run([&] { return plainSend(name.c_str()); });
    }

    // The status lines in the order printed, without the progress marks between them.
    std::vector<std::string> statusLines() const
    {
        static const std::regex status("\r? (FILE  |START |OPEN_ |CLOSE |_END_ |NOFILE |ERR-)[^\n]*");
        std::vector<std::string> lines;
        for (auto match = std::sregex_iterator(err.begin(), err.end(), status); match != std::sregex_iterator();
             ++match)
            lines.push_back(match->str());
        return lines;
    }

    SenderWorkDir work;
    std::string tape;
    std::string err;
};

void expectLines(const std::vector<std::string>& lines, const std::vector<std::string>& patterns)
{
    ASSERT_EQ(lines.size(), patterns.size());
    for (std::size_t i = 0; i < lines.size(); ++i)
        EXPECT_TRUE(std::regex_match(lines[i], std::regex(patterns[i]))) << lines[i] << " / " << patterns[i];
}

const char* const mainWithMirroredCall = "%\nO1000\nG90G54\n(C SUB1,@XM)\nM30\n%\n";
const char* const sub1 = "%\nO2000\nG01X10.F200\nM99\n%\n";

TEST_F(Sender, WorkedExampleGoesOutInIso)
{
    runSettings.codeMode = IsoDefault;
    file("MAIN.NC", mainWithMirroredCall);
    file("SUB1", sub1);
    ASSERT_EQ(expand("MAIN.NC"), 0);

    std::string expected = "%\n(MAIN.NC)\nO1000\nG90G54\n( SUB1-001)\nO2000\nG01X-10.F200 \nM30\n%\n";
    std::string encoded;
    std::string decoded;
    for (char c : expected)
        encoded += static_cast<char>(isoEncode(static_cast<unsigned char>(c)));
    for (char c : tape)
        decoded += static_cast<char>(isoDecode(static_cast<unsigned char>(c)));
    EXPECT_EQ(tape, encoded);
    EXPECT_EQ(decoded, expected);
    expectLines(statusLines(), {
                                   " FILE  MAIN.NC : 34Byte",
                                   " START MAIN.NC " + timePattern,
                                   " FILE  SUB1 : 26Byte",
                                   " OPEN_ SUB1 " + timePattern,
                                   "\r CLOSE SUB1 " + timePattern,
                                   "\r _END_ MAIN.NC " + timePattern,
                               });
}

struct CallExample {
    const char* line;
    bool isCall;
    CallKind kind;
    const char* name;
};

TEST(CallLines, AreRecognisedByTheirMarker)
{
    const CallExample examples[] = {
        {"& SUB1\n", true, InlineCall, "SUB1"},
        {"&,SUB1\n", true, InlineCall, "SUB1"},
        {"&SUB1\n", true, InlineCall, "UB1"},
        {"&& SUB2\n", true, BlockCall, "SUB2"},
        {"&C SUB2\n", true, BlockCall, "SUB2"},
        {"(C SUB1)\n", true, InlineCall, "SUB1"},
        {"(C,SUB1,3)\n", true, InlineCall, "SUB1"},
        {"(CC SUB2)\n", true, BlockCall, "SUB2"},
        {"G01X5.(C SUB1)\n", false, InlineCall, ""},
        {"(CUT SPEED)\n", false, InlineCall, ""},
        {"&", true, InlineCall, ""},
        {"&&", true, BlockCall, ""},
    };
    for (const CallExample& example : examples) {
        std::string line = example.line;
        CallLine call;
        ASSERT_EQ(findCallLine(line.data(), &call), example.isCall) << example.line;
        if (!example.isCall)
            continue;
        EXPECT_EQ(call.kind, example.kind) << example.line;
        EXPECT_EQ(std::string(call.name, call.nameLength), example.name) << example.line;
    }
}

TEST(CallLines, MacrosFollowTheNamesSeparator)
{
    std::string line = "(C,SUB1,@XM,2)\n";
    CallLine call;
    ASSERT_TRUE(findCallLine(line.data(), &call));
    ASSERT_NE(call.macroSpec, nullptr);
    EXPECT_STREQ(call.macroSpec, "@XM,2)\n");

    std::string bare = "& SUB1 \n";
    ASSERT_TRUE(findCallLine(bare.data(), &call));
    EXPECT_EQ(call.macroSpec, nullptr);
}

TEST_F(Sender, RepeatCountsNumberTheHeaders)
{
    file("MAIN.NC", "%\n(C,SUB1,3)\n(C,SUB1,0)\nM30\n%\n");
    file("SUB1", "%\nG01X1.\n%\n---------------\n");
    ASSERT_EQ(expand("MAIN.NC"), 0);
    EXPECT_EQ(tape, "%\n( SUB1-001)\nG01X1.\n( SUB1-002)\nG01X1.\n( SUB1-003)\nG01X1.\nM30\n%\n");
}

TEST_F(Sender, InlineSubProgramLosesItsEndCodes)
{
    file("MAIN.NC", "%\n& SUB1\n%\n---------\n");
    file("SUB1", "%\nM02\nM30\nM99\nM300\nM2\nG68\nG68M05\n(MAIN)M30\nG01X1.\n%\n");
    ASSERT_EQ(expand("MAIN.NC"), 0);
    EXPECT_EQ(tape, "%\n( SUB1-001)\nM2\nG68M05\n(MAIN)M30\nG01X1.\n%\n");
}

TEST_F(Sender, BlockCallIsAProgramOfItsOwn)
{
    file("MAIN.NC", "%\n&& O1234.NC\n%\n");
    file("O1234.NC", "%\nG68\nG01X1.\nM99\n%\n");
    ASSERT_EQ(expand("MAIN.NC"), 0);
    EXPECT_EQ(tape, "%\nO234 \n(O1234.NC)\nG68\nG01X1.\nM99\n%\n");

    runSettings.lLabelMode = 1;
    file("O1234.NC", "%\nG01X1.\n(END)M99\nM30\nM99\n%\n");
    ASSERT_EQ(expand("MAIN.NC"), 0);
    EXPECT_EQ(tape, "%\nL234 \n(O1234.NC)\nG01X1.\n(END)M99\nG68\nG68\n%\n");
}

TEST_F(Sender, SkippingLLinesAppliesAfterTheCallFilters)
{
    runSettings.skipLLines = 1;
    file("LID.NC", "%\nO1\nG01L2\nG01X1.\n& SUB1\n%\n");
    file("SUB1", "%\nL5\nG65L2\nM98L3\nX1.\n%\n");
    ASSERT_EQ(expand("LID.NC"), 0);
    EXPECT_EQ(tape, "O1\nG01X1.\n( SUB1-001)\nG65L2\nM98L3\nX1.\n%\n");
}

TEST_F(Sender, CommentModesChooseCommentsAndHeaders)
{
    file("MAIN.NC", "%\n(OWN)\n& SUB1\n%\n");
    file("SUB1", "%\n(SUBOWN)\nX1.\n%\n---------\n");
    const std::pair<int16_t, const char*> modes[] = {
        {0, "%\nX1.\n%\n"},
        {1, "%\n(MAIN.NC)\n(OWN)\n( SUB1-001)\n(SUBOWN)\nX1.\n%\n"},
        {2, "%\n(OWN)\n(SUBOWN)\nX1.\n%\n"},
        {3, "%\n(MAIN.NC)\n( SUB1-001)\nX1.\n%\n"},
        {7, "%\n(OWN)\n(SUBOWN)\nX1.\n%\n"},
    };
    for (const auto& mode : modes) {
        runSettings.commentMode = mode.first;
        ASSERT_EQ(expand("MAIN.NC"), 0);
        EXPECT_EQ(tape, mode.second) << "mode " << mode.first;
    }
}

TEST_F(Sender, NoNameCommentBeforeACallAndShortNamesArePadded)
{
    file("AB", "%\n& SUB1\n%\n-------------\n");
    file("SUB1", "%\nX1.\n%\n-----------------\n");
    ASSERT_EQ(expand("AB"), 0);
    EXPECT_EQ(tape, "%\n( SUB1-001)\nX1.\n%\n");

    file("AB", "%\nX2.\n%\n-------------\n");
    ASSERT_EQ(expand("AB"), 0);
    EXPECT_EQ(tape, "%\n(   AB)\nX2.\n%\n");
}

TEST_F(Sender, OnlyTheProgramBetweenThePercentLinesIsSent)
{
    file("MAIN.NC", "(BEFORE)\n& SUB1\n%\nX1.;Y2.;\n(A;B_C)\nG_01\n%;END\nAFTER\n");
    ASSERT_EQ(expand("MAIN.NC"), 0);
    EXPECT_EQ(tape, "%\n(MAIN.NC)\nX1.\nY2.\n\n(A;B_C)\nG 01\n%;END\n");

    file("MAIN.NC", "%\nX1.\n(A % IN A COMMENT)\nX2.\n%\n");
    ASSERT_EQ(expand("MAIN.NC"), 0);
    EXPECT_EQ(tape, "%\n(MAIN.NC)\nX1.\n(A % IN A COMMENT)\n");
}

TEST_F(Sender, RulesApplyToTheirOwnLevelOnly)
{
    file("MAIN.NC", "%\n& SUB1,@XM\n%\n-----\n");
    file("SUB1", "%\nX1.\n(X2.)\n& SUB2\n%\n");
    file("SUB2", "%\nX3.\n%\n------------\n");
    ASSERT_EQ(expand("MAIN.NC"), 0);
    EXPECT_EQ(tape, "%\n( SUB1-001)\nX-1. \n(X2.)\n( SUB2-001)\nX3.\n%\n");
}

TEST_F(Sender, ProgramsCutShortStillEndTheTape)
{
    file("MAIN.NC", "%\nX1.\n& SUB1\nG01X2.");
    file("SUB1", "%\nG01X1.\nG01Y2.Z3.");
    ASSERT_EQ(expand("MAIN.NC"), 0);
    EXPECT_EQ(tape, "%\n(MAIN.NC)\nX1.\n( SUB1-001)\nG01X1.\nG01Y2.Z3.\nG01X2.\n%\n");
    EXPECT_NE(err.find("\r _END_ MAIN.NC"), std::string::npos);

    file("MAIN.NC", "NO PERCENT LINE IN HERE\nX1.\n");
    ASSERT_EQ(expand("MAIN.NC"), 0);
    EXPECT_EQ(tape, "");
}

TEST_F(Sender, SubProgramWithoutPercentSendsOnlyItsHeader)
{
    file("MAIN.NC", "%\n& SUB1\nX2.\n%\n--------\n");
    file("SUB1", "G01X1.\nG01Y2.\nG01Z3.\n");
    ASSERT_EQ(expand("MAIN.NC"), 0);
    EXPECT_EQ(tape, "%\n( SUB1-001)\nX2.\n%\n");
}

TEST_F(Sender, FilesAreCheckedBeforeAnythingIsSent)
{
    file("SHORT.NC", "%\nX1.\n%\n-------");   // 15 characters
    EXPECT_EQ(expand("SHORT.NC"), -1);
    EXPECT_EQ(tape, "");
    EXPECT_NE(err.find(" NO_SIZE SHORT.NC\n"), std::string::npos);

    file("HIGH.NC", "%\nX1.\n(\x80)\n%\n------");
    EXPECT_EQ(expand("HIGH.NC"), -1);
    EXPECT_EQ(tape, "");
    EXPECT_NE(err.find(" ASC_ERR HIGH.NC\n"), std::string::npos);

    file("LATE.NC", "%\nX1.\n---------------(\x80)\n%\n");
    EXPECT_EQ(expand("LATE.NC"), 0);
    EXPECT_EQ(tape, "%\n(LATE.NC)\nX1.\n---------------(\x80)\n%\n");
}

TEST_F(Sender, FailuresEndTheTapeWithAnErrorTape)
{
    EXPECT_EQ(expand("GONE.NC"), -1);
    EXPECT_EQ(tape, "(ZEK_ERROR GONE.NC IS NOT FOUND!! )\n%\n");
    expectLines(statusLines(), {" NOFILE GONE.NC " + timePattern});

    file("MAIN.NC", "%\nX1.\n& SUB9\nX2.\n%\n");
    EXPECT_EQ(expand("MAIN.NC"), -1);
    EXPECT_EQ(tape, "%\n(MAIN.NC)\nX1.\n(ZEK_ERROR SUB9 IS NOT FOUND!! )\n%\n");

    file("MAIN.NC", "%\nX1.\n& SUB1,@NOPE\nX2.\n%\n");
    EXPECT_EQ(expand("MAIN.NC"), -1);
    EXPECT_EQ(tape, "%\n(MAIN.NC)\nX1.\n(ZEK_ERROR MAIN.NC MACRO-ERROR!! )\n%\n");
    EXPECT_NE(err.find("Cant find VELKMAC ENTRY \n"), std::string::npos);

    file("MAIN.NC", "%\nX1.\n& MAIN.NC\nX2.\n%\n");
    EXPECT_EQ(expand("MAIN.NC"), -1);
    EXPECT_EQ(tape, "%\n(MAIN.NC)\nX1.\n(ZEK_ERROR MAIN.NC ERR-LOOP!!)\n%\n");
    EXPECT_TRUE(std::regex_search(err, std::regex(" ERR-LOOPMAIN.NC " + timePattern + "\n")));

    file("MAIN.NC", "O1000\nG90G54\nM30\n%\n");
    EXPECT_EQ(expand("MAIN.NC"), -1);
    EXPECT_EQ(tape, "(ZEK_ERROR MAIN.NC ERROR-CLOSE!! )\n%\n");
    EXPECT_TRUE(std::regex_search(err, std::regex(" ERR-CLOSE MAIN.NC " + timePattern + "\n")));
}

TEST_F(Sender, OverlongCalledNameIsNotFound)
{
    std::string name(64, 'N');
    file(name, "%\nX1.\n%\n-----------------\n");
    file("MAIN.NC", "%\nX1.\n& " + name + "\n%\n");
    EXPECT_EQ(expand("MAIN.NC"), -1);
    EXPECT_EQ(tape, "%\n(MAIN.NC)\nX1.\n(ZEK_ERROR " + name + " IS NOT FOUND!! )\n%\n");
}

TEST_F(Sender, CallCycleIsStoppedAtTheNestingLimit)
{
    file("A.NC", "%\nXA\n& B.NC\n%\n---------\n");
    file("B.NC", "%\nXB\n& A.NC\n%\n---------\n");
    EXPECT_EQ(expand("A.NC"), -1);
    std::string end = "(ZEK_ERROR B.NC ERR-LOOP!!)\n%\n";
    ASSERT_GE(tape.size(), end.size());
    EXPECT_EQ(tape.substr(tape.size() - end.size()), end);
    EXPECT_EQ(std::count(tape.begin(), tape.end(), 'X'), 1 + 16);
    EXPECT_TRUE(std::regex_search(err, std::regex(" ERR-LOOPB.NC " + timePattern + "\n")));
}

TEST_F(Sender, LongLinesArriveInPieces)
{
    std::string longLine = "G01" + std::string(2500, '1') + "\n";
    file("MAIN.NC", "%\n" + longLine + "& SUB1,@XM\n%\n");
    file("SUB1", "%\nX" + std::string(1500, '2') + "\n%\n");
    ASSERT_EQ(expand("MAIN.NC"), 0);
    EXPECT_EQ(tape, "%\n(MAIN.NC)\n" + longLine + "( SUB1-001)\nX-" + std::string(1022, '2') +
                        std::string(478, '2') + "\n%\n");
}

TEST_F(Sender, ManyLineEndsFitTheBlockSender)
{
    runSettings.crlf = 1;
    file("MAIN.NC", "%\n" + std::string(1000, ';') + "\n%\n");
    ASSERT_EQ(expand("MAIN.NC"), 0);
    std::string lineEnd = " \r\n";
    std::string expected = "%" + lineEnd + "(MAIN.NC)" + lineEnd;
    for (int i = 0; i < 1001; ++i)
        expected += lineEnd;
    EXPECT_EQ(tape, expected + "%" + lineEnd);
}

TEST_F(Sender, PlainSendHandsTheFileOnUnchanged)
{
    std::string text(1300, 'x');
    for (std::size_t i = 50; i < text.size(); i += 51)
        text[i] = '\n';
    file("P.NC", text);
    ASSERT_EQ(plain("P.NC"), 0);
    EXPECT_EQ(tape, text);
    EXPECT_NE(err.find("FILE P.NC : 1300Byte\n"), std::string::npos);
    EXPECT_EQ(runSettings.progressTotal, 1300);

    file("P.NC", std::string(512, 'y'));
    ASSERT_EQ(plain("P.NC"), 0);
    EXPECT_EQ(tape, std::string(512, 'y'));

    file("P.NC", "%\r\n& SUB1\r\nX1.;_\r\n%\r\n\x1a" "AFTER\r\n");
    ASSERT_EQ(plain("P.NC"), 0);
    EXPECT_EQ(tape, "%\n& SUB1\nX1.;_\n%\n");

    file("P.NC", "");
    ASSERT_EQ(plain("P.NC"), 0);
    EXPECT_EQ(tape, "");
    EXPECT_NE(err.find("FILE P.NC : 0Byte\n"), std::string::npos);
    EXPECT_EQ(runSettings.progressTotal, 100000);
}

TEST_F(Sender, PlainSendOfAMissingFileSendsTheErrorTape)
{
    EXPECT_EQ(plain("GONE.NC"), -1);
    EXPECT_EQ(tape, "(ZEK_ERROR GONE.NC IS NOT FOUND!! )\n%\n");
    EXPECT_TRUE(std::regex_search(err, std::regex("NO_SUB MODE NO FILE GONE.NC " + timePattern + "\n")));
}

// The real programs, as text: CR LF read as LF, nothing after a Ctrl-Z.
std::string readAsText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    bytes = bytes.substr(0, bytes.find('\x1a'));
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n'))
            text += bytes[i];
    }
    return text;
}

// What the expansion makes of a program without calls: its name after the
// first "%" line, then its body with ";" and "_" translated outside comments.
std::string expectedExpansion(const std::string& name, const std::string& text)
{
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line) && line.find('%') == std::string::npos) {
    }
    std::string result = "%\n(" + name + ")\n";
    while (std::getline(in, line)) {
        if (line.find('%') != std::string::npos)
            return result + line + (in.eof() ? "" : "\n");
        if (line.find('(') == std::string::npos) {
            std::replace(line.begin(), line.end(), ';', '\n');
            std::replace(line.begin(), line.end(), '_', ' ');
        }
        result += line + "\n";
    }
    return result + "%\n";
}

std::filesystem::path sharedPrograms()
{
    std::filesystem::path dir = std::filesystem::path(__FILE__).parent_path() / "../../../shared/testdata/programs";
    return std::filesystem::exists(dir) ? dir : std::filesystem::path();
}

TEST_F(Sender, RealProgramsGoOutAsWritten)
{
    std::filesystem::path programs = sharedPrograms();
    if (programs.empty())
        GTEST_SKIP() << "shared/testdata/programs is not beside the source tree";
    for (const auto& entry : std::filesystem::directory_iterator(programs)) {
        std::string name = entry.path().filename().string();
        std::string text = readAsText(entry.path());
        std::filesystem::copy_file(entry.path(), work.dir.file(name));
        ASSERT_EQ(plain(name), 0) << name;
        EXPECT_EQ(tape, text) << name;
        ASSERT_EQ(expand(name), 0) << name;
        EXPECT_EQ(tape, expectedExpansion(name, text)) << name;
    }
}

}  // namespace
