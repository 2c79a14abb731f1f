// The console form of the program's Shift-JIS texts.

#include <gtest/gtest.h>

#include "log/shift_jis_text.h"

using namespace zek::log;

namespace {

TEST(ShiftJisText, TextsKeepTheirCharactersInUtf8)
{
    struct Case {
        const char* shiftJis;
        const char* utf8;
    };
    const Case cases[] = {
        {"file write1 error \x81\x46", u8"file write1 error ："},
        {" -o  ... Monitor ( default\x81\x40:\x81\x40no monitor )\n",
         u8" -o  ... Monitor ( default　:　no monitor )\n"},
        {" -c\\\x83\x74\x83\x40\x83\x43\x83\x8B\x96\xBC ~", u8" -c\\ファイル名 ~"},
        {"\x8E\xF3\x90\x4D\x83\x82\x81\x5B\x83\x68", u8"受信モード"},
        // Not in the table, a half-width byte, a lead byte at the end.
        {"\x88\x9F=\xA5=\x83", u8"\uFFFD=\uFFFD=\uFFFD"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(utf8FromUnicode(unicodeFromShiftJis(c.shiftJis)), c.utf8) << c.utf8;
    EXPECT_EQ(utf8FromUnicode(u"\u00D7"), u8"×");  // no text above has a two-byte UTF-8 character
}

}  // namespace
