// The program's own Japanese and full-width texts are Shift-JIS (code page
// 932) bytes, as the log stores them. For a console that reads Unicode they
// are converted here, with a table of just the characters those texts use.
#pragma once

#include <string>

namespace zek::log {

// The text as UTF-16. ASCII bytes stay as they are; a byte pair the table
// does not hold becomes U+FFFD.
std::u16string unicodeFromShiftJis(const char* text);

// UTF-16 text without surrogates (all the table holds) as UTF-8 bytes.
std::string utf8FromUnicode(const std::u16string& text);

}  // namespace zek::log
