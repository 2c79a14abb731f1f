#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "common/temp_dir.h"
#include "sender/macro_file.h"
#include "sender/macro_table.h"
#include "sender/subprogram_send.h"

using namespace zek::sender;

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

const char* const defaultMacroFileBytes =
    "#VELKMACRO FOR VELK 2012 V706 QJ DVR #\r\n"
    "#THIS IS SYSTEM MACRO DON'T EDIT\x81\x40#\r\n"
    "# \x82\xb1\x82\xcc\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xaa\x96\xb3\x82\xa2\x82\xc6\x83\x7d\x83\x4e"
    "\x83\x8d\x82\xaa\x97\x4c\x8c\xf8\x82\xc9\x82\xc8\x82\xe8\x82\xdc\x82\xb9\x82\xf1 #\r\n"
    "@XM:X=x-,x--=X,x=X,I=i-,i--=I,i=I,G02=g03,G03=g02,G41=g42,G42=g41,g=G\r\n"
    "@YM:Y=y-,y--=Y,y=Y,J=j-,j--=J,j=J,G02=g03,G03=g02,G41=g42,G42=g41,g=G\r\n"
    "@TC90:X=x,Y=y-,y--=X,x=Y,y=X,I=i,J=j-,j--=I,i=J,j=I\r\n"
    "@TC-90:X=x-,Y=y,x--=Y,x=Y,y=X,I=i-,J=j,i--=J,i=J,j=I\r\n"
    "@TC180:X=x-,Y=y-,x--=X,x=X,y--=Y,y=Y,I=i-,J=j-,i--=I,i=I,j--=J,j=J\r\n"
    "@FDEL:F*=\r\n"
    "@ZDEL:Z*=\r\n"
    "@F100:F*=F100\r\n"
    "@G01:G00=G01\r\n"
    "@M99:M30=M99\r\n"
    "@M30:M99=M30\r\n"
    "#THIS IS USERS MACRO YOU CAN EDIT #\r\n";

// "Q=abcdefgh" eleven times: 120 characters.
std::string longMacroBody()
{
    std::string body = "Q=abcdefgh";
    for (int i = 0; i < 10; ++i)
        body += ",Q=abcdefgh";
    return body;
}

// The macro file is read from the working directory: each test works in a
// fresh one.
class MacroFile : public testing::Test {
protected:
    MacroFile() : saved_(std::filesystem::current_path()) { std::filesystem::current_path(dir.path()); }
    ~MacroFile() override { std::filesystem::current_path(saved_); }

    void writeMacroFile(const std::string& bytes) { dir.write("ZEKMAC.TXT", bytes); }

    // Loads the text after a name as a call line would hand it over; the messages
    // printed on the way land in messages. The run reads its table once and
    // keeps it, so every test loads with one file in place, whichever test
    // reads it first: the default entries and @LONG.
    bool load(const std::string& spec)
    {
        if (!dir.exists("ZEKMAC.TXT"))
            writeMacroFile(defaultMacroFileBytes + ("@LONG:" + longMacroBody() + "\n"));
        std::vector<char> buffer(spec.begin(), spec.end());
        buffer.push_back('\0');
        CaptureStderr();
        bool loaded = loadMacroSpec(buffer.data(), &rules, &count) == MacroSpecLoad::Loaded;
        messages = GetCapturedStderr();
        return loaded;
    }

    // The loaded rules as "FROM=TO,FROM=TO".
    std::string loadedRules() const
    {
        std::string text;
        for (int i = 0; i < rules.count; ++i)
            text += std::string(i ? "," : "") + rules.rules[i].from + "=" + rules.rules[i].to;
        return text;
    }

    // The line as sent after every rule of the macro specification.
    std::string transform(const std::string& spec, const std::string& line)
    {
        EXPECT_TRUE(load(spec)) << messages;
        char buffer[4096];
        std::snprintf(buffer, sizeof buffer, "%s\n", line.c_str());
        for (int i = 0; i < rules.count; ++i)
            applyMacroRule(buffer, rules.rules[i].from, rules.rules[i].to);
        std::string result = buffer;
        EXPECT_EQ(result.back(), '\n');
        result.pop_back();
        return result;
    }

    TempDir dir;
    RuleList rules;
    int count = 0;
    std::string messages;

private:
    std::filesystem::path saved_;
};

TEST_F(MacroFile, MissingFileIsCreatedWithTheDefaultContentAndAnExistingOneLeftAlone)
{
    ensureMacroFile();
    EXPECT_EQ(dir.read("ZEKMAC.TXT"), defaultMacroFileBytes);
    writeMacroFile("@MINE:X=Y\n");
    ensureMacroFile();
    EXPECT_EQ(dir.read("ZEKMAC.TXT"), "@MINE:X=Y\n");
}

struct MacroExample {
    const char* spec;
    const char* lineIn;
    const char* lineOut;
};

TEST_F(MacroFile, DefaultEntriesGiveTheWorkedExamples)
{
    const MacroExample examples[] = {
        {"@XM\n", "G02X10.Y5.I-2.J0", "G03X-10.Y5.I2.J0 "},
        {"@XM\n", "G01X-7.5F200", "G01X7.5F200"},
        {"@XM\n", "G41X3.", "G42X-3."},
        {"@YM\n", "G03X10.Y-5.I0J2.5", "G02X10.Y5.I0J-2.5  "},
        {"@TC90\n", "G01X10.Y5.", "G01Y10.X-5.  "},
        {"@TC-90\n", "G01X10.Y5.", "G01Y-10.X5."},
        {"@TC180\n", "G01X10.Y-5.", "G01X-10.Y5.  "},
        {"@FDEL\n", "G01X10.F200", "G01X10."},
        {"@ZDEL\n", "G00Z-5.", "G00"},
        {"@F100\n", "G01X10.F200", "G01X10.F100"},
        {"@G01\n", "G00X10.", "G01X10."},
        {"@M99\n", "M30", "M99"},
        {"@XM\n", "(X10. COMMENT)", "(X10. COMMENT)"},
        // Rules take only the first occurrence.
        {"@XM\n", "G01X1.X2.", "G01X-1.X2. "},
        {"F*=\n", "G01X10.F1000", "G01X10."},
        {"Q=R\n", "G01X10.", "G01X10."},
    };
    for (const MacroExample& example : examples)
        EXPECT_EQ(transform(example.spec, example.lineIn), example.lineOut) << example.spec << example.lineIn;
}

TEST_F(MacroFile, RuleWithWordTakesTheValueUpToTheNextAddressAndOnlyALineFeedGetsABlank)
{
    char word[64] = "G01F1.5X2.\n";
    applyMacroRule(word, "F*", "F9 ignored");
    EXPECT_STREQ(word, "G01F9X2. \n");
    char noLineFeed[64] = "G01X1.";
    applyMacroRule(noLineFeed, "X", "x-");
    EXPECT_STREQ(noLineFeed, "G01x-1.");
}

TEST_F(MacroFile, CallTextCombinesMacrosRulesAndCount)
{
    ASSERT_TRUE(load("@XM,AF100,2)\n"));
    EXPECT_EQ(count, 2);
    EXPECT_EQ(loadedRules(), "X=x-,x--=X,x=X,I=i-,i--=I,i=I,G02=g03,G03=g02,G41=g42,G42=g41,g=G,F*=F100");
    ASSERT_TRUE(load("X=x-,x--=X,x=X,3)\n"));
    EXPECT_EQ(count, 3);
    EXPECT_EQ(loadedRules(), "X=x-,x--=X,x=X");
    ASSERT_TRUE(load("@XM,@XM,@XM\n"));  // 33 rules: those past the 32nd are not taken over
    EXPECT_EQ(rules.count, maxRules);
}

TEST_F(MacroFile, UnknownNamesAreRefused)
{
    EXPECT_TRUE(load("AXM\n"));
    const std::pair<const char*, const char*> refusals[] = {
        {"Axm\n", "Cant find VELKMAC ENTRY \n"},
        {"A=a-\n", "Cant find VELKMAC ENTRY \n"},
        {"@XM,@NOPE\n", "Cant find VELKMACRO ENTRY \n"},
        {"2,@XM,@xm\n", "Cant find VELKMACRO ENTRY \n"},
    };
    for (const auto& [spec, message] : refusals) {
        EXPECT_FALSE(load(spec)) << spec;
        EXPECT_EQ(messages, message) << spec;
    }
}

TEST_F(MacroFile, TableIsReadOnceAndKeptForTheRun)
{
    ASSERT_TRUE(load("@LONG,2)\n"));
    EXPECT_EQ(count, 2);
    writeMacroFile("@B1:X=Y\n");
    EXPECT_TRUE(load("@LONG\n"));
    EXPECT_FALSE(load("@B1\n"));
}

TEST_F(MacroFile, MissingFileIsNotReadAndEntryLinesAreReadWithinTheirLimits)
{
    MacroTable table;
    std::string reason;
    EXPECT_EQ(readMacroTable(table, &reason), MacroFileRead::NotOpened);
    EXPECT_EQ(reason, std::strerror(ENOENT));
    std::string file = "#comment @X:no\n"
                       "@NOCOLON X=Y\n"
                       "@SIXTEENCHARSXXX:X=Y\n"
                       "@DUP:X=first\n"
                       "@DUP:X=second\n"
                       "@BODY:X=a Y=b\r\n";
    for (int i = 0; i < 61; ++i)
        file += "@E" + std::to_string(i) + ":X=Y\n";
    file += "@LATE:X=Y\n";
    writeMacroFile(file);
    ASSERT_EQ(readMacroTable(table, &reason), MacroFileRead::Read);
    EXPECT_EQ(findMacroBody(table, "@NOCOLON"), nullptr);
    EXPECT_EQ(findMacroBody(table, "@SIXTEENCHARSXXX"), nullptr);
    EXPECT_STREQ(findMacroBody(table, "@DUP"), "X=first");
    EXPECT_STREQ(findMacroBody(table, "@BODY"), "X=a");
    EXPECT_STREQ(findMacroBody(table, "@E60"), "X=Y");
    EXPECT_EQ(findMacroBody(table, "@LATE"), nullptr);
}

TEST_F(MacroFile, RuleTextIsLimitedTo255Characters)
{
    EXPECT_TRUE(load("@LONG,@LONG\n")) << messages;
    EXPECT_FALSE(load("@LONG,@LONG,@LONG\n"));
    EXPECT_EQ(messages, "Too long Macro command over 255lines !!\n");

    std::string inPlace = "X=" + std::string(60, 'y');
    std::string spec = inPlace;
    for (int i = 0; i < 3; ++i)
        spec += "," + inPlace;
    EXPECT_TRUE(load(spec + "\n")) << messages;
    for (const std::string& tooLong :
         {spec + "," + inPlace, "X=" + std::string(300, 'y'), "X=" + std::string(64, 'y')}) {
        EXPECT_FALSE(load(tooLong + "\n")) << tooLong.size();
        EXPECT_EQ(messages, "Too long Macro command over 255 lines !!\n");
    }
}

// The sender's line buffer holds the longest piece of a line grown by every rule at its longest.
TEST_F(MacroFile, LongestGrowthStaysInsideTheLineBuffer)
{
    std::vector<char> line(lineBufferSize, '\0');
    std::string start = std::string(lineReadSize - 2, 'X') + "\n";
    std::memcpy(line.data(), start.c_str(), start.size() + 1);
    for (int i = 0; i < maxRules; ++i)
        applyMacroRule(line.data(), "X", std::string(maxRuleTextLength, 'y').c_str());
    EXPECT_EQ(std::string(line.data()).size(), lineReadSize + maxRules * (maxRuleTextLength - 1));
}

}  // namespace
