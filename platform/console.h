// What the operator's console reads, for texts beyond ASCII.
#pragma once

#include <cstdio>
#include <string>

namespace zek::platform {

// True when console bytes are to be UTF-8 rather than Shift-JIS: the
// character set of the user's locale on POSIX systems; never on Windows,
// where only a redirected stream takes bytes of such texts.
bool consoleTakesUtf8();

// Writes UTF-16 text to the console window behind a standard stream, after
// what the stream holds. false, with nothing written, when the stream goes
// to a file or a pipe, or the system has no console windows (POSIX).
bool writeConsoleWindow(std::FILE* stream, const std::u16string& text);

}  // namespace zek::platform
