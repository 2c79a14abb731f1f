#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
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

using Files = std::vector<std::pair<std::string, std::string>>;

// One send of the first file, with the tape and a console line it makes.
struct Expansion {
    Files files;
    int result;
    std::string tape;
    std::string shown = "";                 // a regex the messages must hold
    void (*settings)() = [] {};
};

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

    void expectExpansions(const std::vector<Expansion>& expansions)
    {
        for (const Expansion& expansion : expansions) {
            SCOPED_TRACE(expansion.files[0].second.substr(0, 60));
            runSettings = RunSettings{};
            runSettings.codeMode = Ascii;
            expansion.settings();
            for (const auto& [name, bytes] : expansion.files)
                file(name, bytes);
            EXPECT_EQ(expand(expansion.files[0].first), expansion.result);
            EXPECT_EQ(tape, expansion.tape);
            EXPECT_TRUE(std::regex_search(err, std::regex(expansion.shown))) << err;
        }
    }

    SenderWorkDir work;
    std::string tape;
    std::string err;
};

TEST(CallLines, AreRecognisedByTheirMarker)
{
    struct CallExample {
        const char* line;
        bool isCall;
        CallKind kind;
        const char* name;
    };
    const CallExample examples[] = {
        {"& SUB1\n", true, InlineCall, "SUB1"},     {"&,SUB1\n", true, InlineCall, "SUB1"},
        {"&SUB1\n", true, InlineCall, "UB1"},       {"&& SUB2\n", true, BlockCall, "SUB2"},
        {"&C SUB2\n", true, BlockCall, "SUB2"},     {"(C SUB1)\n", true, InlineCall, "SUB1"},
        {"(C,SUB1,3)\n", true, InlineCall, "SUB1"}, {"(CC SUB2)\n", true, BlockCall, "SUB2"},
        {"G01X5.(C SUB1)\n", false, InlineCall, ""}, {"(CUT SPEED)\n", false, InlineCall, ""},
        {"&", true, InlineCall, ""},                {"&&", true, BlockCall, ""},
    };
    for (const CallExample& example : examples) {
        SCOPED_TRACE(example.line);
        std::string line = example.line;
        CallLine call;
        ASSERT_EQ(findCallLine(line.data(), &call), example.isCall);
        if (example.isCall) {
            EXPECT_EQ(call.kind, example.kind);
            EXPECT_EQ(std::string(call.name, call.nameLength), example.name);
        }
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

TEST_F(Sender, SubProgramsAreExpandedIntoOneTape)
{
    const std::string longLine = "G01" + std::string(2500, '1') + "\n";
    std::string lineEnds;
    for (int i = 0; i < 1001; ++i)
        lineEnds += " \r\n";
    expectExpansions({
        // Repeat counts number the headers.
        {{{"MAIN.NC", "%\n(C,SUB1,3)\n(C,SUB1,0)\nM30\n%\n"}, {"SUB1", "%\nG01X1.\n%\n---------------\n"}},
         0, "%\n( SUB1-001)\nG01X1.\n( SUB1-002)\nG01X1.\n( SUB1-003)\nG01X1.\nM30\n%\n"},
        // An inline sub-program loses its end codes.
        {{{"MAIN.NC", "%\n& SUB1\n%\n---------\n"},
          {"SUB1", "%\nM02\nM30\nM99\nM300\nM2\nG68\nG68M05\n(MAIN)M30\nG01X1.\n%\n"}},
         0, "%\n( SUB1-001)\nM2\nG68M05\n(MAIN)M30\nG01X1.\n%\n"},
        // A block call is a program of its own.
        {{{"MAIN.NC", "%\n&& O1234.NC\n%\n"}, {"O1234.NC", "%\nG68\nG01X1.\nM99\n%\n"}},
         0, "%\nO234 \n(O1234.NC)\nG68\nG01X1.\nM99\n%\n"},
        {{{"MAIN.NC", "%\n&& O1234.NC\n%\n"}, {"O1234.NC", "%\nG01X1.\n(END)M99\nM30\nM99\n%\n"}},
         0, "%\nL234 \n(O1234.NC)\nG01X1.\n(END)M99\nG68\nG68\n%\n", "", [] { runSettings.lLabelMode = 1; }},
        // Skipping L lines applies after the call filters.
        {{{"LID.NC", "%\nO1\nG01L2\nG01X1.\n& SUB1\n%\n"}, {"SUB1", "%\nL5\nG65L2\nM98L3\nX1.\n%\n"}},
         0, "O1\nG01X1.\n( SUB1-001)\nG65L2\nM98L3\nX1.\n%\n", "", [] { runSettings.skipLLines = 1; }},
        // No name comment before a call; short names are padded.
        {{{"AB", "%\n& SUB1\n%\n-------------\n"}, {"SUB1", "%\nX1.\n%\n-----------------\n"}},
         0, "%\n( SUB1-001)\nX1.\n%\n"},
        {{{"AB", "%\nX2.\n%\n-------------\n"}}, 0, "%\n(   AB)\nX2.\n%\n"},
        // Only the program between the percent lines is sent.
        {{{"MAIN.NC", "(BEFORE)\n& SUB1\n%\nX1.;Y2.;\n(A;B_C)\nG_01\n%;END\nAFTER\n"}},
         0, "%\n(MAIN.NC)\nX1.\nY2.\n\n(A;B_C)\nG 01\n%;END\n"},
        {{{"MAIN.NC", "%\nX1.\n(A % IN A COMMENT)\nX2.\n%\n"}}, 0, "%\n(MAIN.NC)\nX1.\n(A % IN A COMMENT)\n"},
        // Rules apply to their own level only.
        {{{"MAIN.NC", "%\n& SUB1,@XM\n%\n-----\n"}, {"SUB1", "%\nX1.\n(X2.)\n& SUB2\n%\n"},
          {"SUB2", "%\nX3.\n%\n------------\n"}},
         0, "%\n( SUB1-001)\nX-1. \n(X2.)\n( SUB2-001)\nX3.\n%\n"},
        // Programs cut short still end the tape.
        {{{"MAIN.NC", "%\nX1.\n& SUB1\nG01X2."}, {"SUB1", "%\nG01X1.\nG01Y2.Z3."}},
         0, "%\n(MAIN.NC)\nX1.\n( SUB1-001)\nG01X1.\nG01Y2.Z3.\nG01X2.\n%\n", "\r _END_ MAIN.NC"},
        {{{"MAIN.NC", "NO PERCENT LINE IN HERE\nX1.\n"}}, 0, ""},
        // A sub-program without a percent line sends only its header.
        {{{"MAIN.NC", "%\n& SUB1\nX2.\n%\n--------\n"}, {"SUB1", "G01X1.\nG01Y2.\nG01Z3.\n"}},
         0, "%\n( SUB1-001)\nX2.\n%\n"},
        // Long lines arrive in pieces, the rules applied to the first.
        {{{"MAIN.NC", "%\n" + longLine + "& SUB1,@XM\n%\n"}, {"SUB1", "%\nX" + std::string(1500, '2') + "\n%\n"}},
         0, "%\n(MAIN.NC)\n" + longLine + "( SUB1-001)\nX-" + std::string(1500, '2') + "\n%\n"},
        // Many line ends fit the block sender.
        {{{"MAIN.NC", "%\n" + std::string(1000, ';') + "\n%\n"}},
         0, "% \r\n(MAIN.NC) \r\n" + lineEnds + "% \r\n", "", [] { runSettings.crlf = 1; }},
    });
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
    for (const auto& [mode, expected] : modes) {
        runSettings.commentMode = mode;
        ASSERT_EQ(expand("MAIN.NC"), 0);
        EXPECT_EQ(tape, expected) << "mode " << mode;
    }
}

TEST_F(Sender, BadFilesAreRefusedAndFailuresEndTheTapeWithAnErrorTape)
{
    EXPECT_EQ(expand("GONE.NC"), -1);
    EXPECT_EQ(tape, "(ZEK_ERROR GONE.NC IS NOT FOUND!! )\n%\n");
    EXPECT_TRUE(std::regex_search(err, std::regex(" NOFILE GONE.NC " + timePattern)));

    const std::string longName(64, 'N');
    expectExpansions({
        // Files are checked before anything is sent.
        {{{"SHORT.NC", "%\nX1.\n%\n-------"}}, -1, "", " NO_SIZE SHORT.NC\n"},
        {{{"HIGH.NC", "%\nX1.\n(\x80)\n%\n------"}}, -1, "", " ASC_ERR HIGH.NC\n"},
        {{{"LATE.NC", "%\nX1.\n---------------(\x80)\n%\n"}}, 0, "%\n(LATE.NC)\nX1.\n---------------(\x80)\n%\n"},
        {{{"MAIN.NC", "%\nX1.\n& SUB9\nX2.\n%\n"}}, -1, "%\n(MAIN.NC)\nX1.\n(ZEK_ERROR SUB9 IS NOT FOUND!! )\n%\n"},
        {{{"MAIN.NC", "%\nX1.\n& SUB1,@NOPE\nX2.\n%\n"}}, -1,
         "%\n(MAIN.NC)\nX1.\n(ZEK_ERROR MAIN.NC MACRO-ERROR!! )\n%\n", "Cant find VELKMAC ENTRY \n"},
        {{{"MAIN.NC", "%\nX1.\n& MAIN.NC\nX2.\n%\n"}}, -1, "%\n(MAIN.NC)\nX1.\n(ZEK_ERROR MAIN.NC ERR-LOOP!!)\n%\n",
         " ERR-LOOPMAIN.NC " + timePattern + "\n"},
        {{{"MAIN.NC", "O1000\nG90G54\nM30\n%\n"}}, -1, "(ZEK_ERROR MAIN.NC ERROR-CLOSE!! )\n%\n",
         " ERR-CLOSE MAIN.NC " + timePattern + "\n"},
        // An over-long called name is not found.
        {{{"MAIN.NC", "%\nX1.\n& " + longName + "\n%\n"}, {longName, "%\nX1.\n%\n-----------------\n"}}, -1,
         "%\n(MAIN.NC)\nX1.\n(ZEK_ERROR " + longName + " IS NOT FOUND!! )\n%\n"},
    });
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

TEST_F(Sender, PlainSendHandsTheFileOnUnchanged)
{
    std::string text(1300, 'x');
    for (std::size_t i = 50; i < text.size(); i += 51)
        text[i] = '\n';
    const std::pair<std::string, std::string> files[] = {
        {text, text},
        {std::string(512, 'y'), std::string(512, 'y')},
        {"%\r\n& SUB1\r\nX1.;_\r\n%\r\n\x1a" "AFTER\r\n", "%\n& SUB1\nX1.;_\n%\n"},
        {"", ""},
    };
    for (const auto& [bytes, expected] : files) {
        file("P.NC", bytes);
        ASSERT_EQ(plain("P.NC"), 0);
        EXPECT_EQ(tape, expected);
    }
    EXPECT_NE(err.find("FILE P.NC : 0Byte\n"), std::string::npos);
    EXPECT_EQ(runSettings.progressTotal, 100000) << "an empty file still has a meter";

    file("P.NC", text);
    ASSERT_EQ(plain("P.NC"), 0);
    EXPECT_NE(err.find("FILE P.NC : 1300Byte\n"), std::string::npos);
    EXPECT_EQ(runSettings.progressTotal, 1300);

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
    for (std::size_t i = 0; i < bytes.size(); ++i)
        if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n'))
            text += bytes[i];
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

TEST_F(Sender, RealProgramsGoOutAsWritten)
{
    std::filesystem::path programs = std::filesystem::path(__FILE__).parent_path() / "../../../shared/testdata/programs";
    if (!std::filesystem::exists(programs))
        GTEST_SKIP() << "shared/testdata/programs is not beside the source tree";
    for (const auto& entry : std::filesystem::directory_iterator(programs)) {
        std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        std::string text = readAsText(entry.path());
        std::filesystem::copy_file(entry.path(), work.dir.file(name));
        ASSERT_EQ(plain(name), 0);
        EXPECT_EQ(tape, text);
        ASSERT_EQ(expand(name), 0);
        EXPECT_EQ(tape, expectedExpansion(name, text));
    }
}

}  // namespace
