// The program's texts that carry Japanese or full-width characters, written
// to the console in the form it shows them.
#pragma once

#include <cstdio>

namespace zek::log {

// Writes a Shift-JIS text to standard output or standard error: as UTF-16 to
// a console window, as UTF-8 in a UTF-8 locale, otherwise as its own bytes.
void writeConsoleText(std::FILE* stream, const char* text);

}  // namespace zek::log
