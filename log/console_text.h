// The program's texts that carry Japanese or full-width characters, written
// to the console in the form it shows them.
#pragma once

#include <cstdio>
#include <string>

namespace zek::log {

// What the system's console takes, handed in at start-up: whether console
// bytes are UTF-8 rather than Shift-JIS, and a writer of UTF-16 text to a
// console window that returns false, writing nothing, where there is none.
struct ConsoleSystem {
    bool takesUtf8 = false;
    bool (*writeWindow)(std::FILE* stream, const std::u16string& text) = nullptr;
};
void setConsoleSystem(const ConsoleSystem& console);

// Writes a Shift-JIS text to standard output or standard error: as UTF-16 to
// a console window, as UTF-8 in a UTF-8 locale, otherwise as its own bytes.
void writeConsoleText(std::FILE* stream, const char* text);

}  // namespace zek::log
