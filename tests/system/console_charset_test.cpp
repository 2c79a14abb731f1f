// The console in a UTF-8 locale against the C locale: the Japanese and
// full-width texts come as UTF-8, and every other byte, the log and
// ZEKMAC.TXT stay as they are. The Windows build writes a redirected stream
// as Shift-JIS bytes in every locale.

#include "system_test.h"

namespace {

const std::string utf8Locale = "C.UTF-8";

// Punched in ISO code, with its parity bit: bytes beyond ASCII on the line.
const std::string program = "%\nO0001(PART 12)\nM30\n%\n";

// Runs side by side may still straddle a second: time stamps are not compared.
std::string withoutTimes(const std::string& text)
{
    return std::regex_replace(text, std::regex(timePattern), "hh:mm:ss");
}

TEST(ConsoleCharset, Utf8LocaleChangesTheJapaneseTextsAlone)
{
    struct Case {
        std::vector<std::string> args;
        bool usage;  // standard output holds a usage text
    };
    const Case cases[] = {
        {{}, true},
        {{"-h"}, true},
        {{"-o", "-c\\out.nc", "A.NC"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.empty() ? "no argument" : c.args[0]);
        TempDir shiftJisDir, utf8Dir;
        shiftJisDir.write("A.NC", program);
        utf8Dir.write("A.NC", program);
        const std::vector<ZekResult> runs =
            runZekTogether({{c.args, shiftJisDir.path(), "C"}, {c.args, utf8Dir.path(), utf8Locale}});
        const ZekResult& shiftJis = runs[0];
        const ZekResult& utf8 = runs[1];
        if (c.usage && !runningWindowsBuild()) {
            EXPECT_TRUE(contains(shiftJis.out, "\x81\x40"));
            EXPECT_EQ(toCodePage932(utf8.out), shiftJis.out);
            EXPECT_TRUE(contains(utf8.out, u8"\u3000"));
        } else
            EXPECT_EQ(utf8.out, shiftJis.out);
        EXPECT_EQ(utf8.exitStatus, shiftJis.exitStatus);
        EXPECT_EQ(withoutTimes(utf8.err), withoutTimes(shiftJis.err));
        for (const char* file : {"ZEKLOG.TXT", "ZEKMAC.TXT", "out.nc"})
            EXPECT_EQ(withoutTimes(utf8Dir.read(file)), withoutTimes(shiftJisDir.read(file))) << file;
        EXPECT_FALSE(shiftJisDir.read("ZEKMAC.TXT").empty());
        EXPECT_EQ(shiftJisDir.read("out.nc").empty(), c.usage);
    }
}

}  // namespace
