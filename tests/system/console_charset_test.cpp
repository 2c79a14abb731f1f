// The console in a UTF-8 locale against the C locale: the Japanese and
// full-width texts come as UTF-8, and every other byte, the log and
// ZEKMAC.TXT stay as they are. The Windows build writes a redirected stream
// as Shift-JIS bytes in every locale.

#include "system_test.h"

namespace {

const std::string utf8Locale = "C.UTF-8";

// Punched in ISO code, with its parity bit: bytes beyond ASCII on the line.
const std::string program = "%\nO0001(PART 12)\nM30\n%\n";

struct LocaleRun {
    ZekResult result;
    std::string log;
    std::string macros;
    std::string output;
};

// Two runs a second apart differ in their time stamps alone.
std::string withoutTimes(const std::string& text)
{
    return std::regex_replace(text, std::regex(timePattern), "hh:mm:ss");
}

LocaleRun runIn(const std::string& locale, const std::vector<std::string>& args)
{
    TempDir dir;
    dir.write("A.NC", program);
    ZekResult result = runZek(args, dir.path(), 30000, locale);
    return {result, withoutTimes(dir.read("ZEKLOG.TXT")), dir.read("ZEKMAC.TXT"), dir.read("out.nc")};
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
        const LocaleRun shiftJis = runIn("C", c.args);
        const LocaleRun utf8 = runIn(utf8Locale, c.args);
        if (c.usage && !runningWindowsBuild()) {
            EXPECT_TRUE(contains(shiftJis.result.out, "\x81\x40"));
            EXPECT_EQ(toCodePage932(utf8.result.out), shiftJis.result.out);
            EXPECT_TRUE(contains(utf8.result.out, u8"\u3000"));
        } else
            EXPECT_EQ(utf8.result.out, shiftJis.result.out);
        EXPECT_EQ(utf8.result.exitStatus, shiftJis.result.exitStatus);
        EXPECT_EQ(withoutTimes(utf8.result.err), withoutTimes(shiftJis.result.err));
        EXPECT_EQ(utf8.log, shiftJis.log);
        EXPECT_FALSE(shiftJis.macros.empty());
        EXPECT_EQ(utf8.macros, shiftJis.macros);
        EXPECT_EQ(utf8.output, shiftJis.output);
        EXPECT_EQ(shiftJis.output.empty(), c.usage);
    }
}

}  // namespace
