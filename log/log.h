// Console and log output shared by every part of the program.
#pragma once

#include <functional>

namespace zek::log {

#define ZEK_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))

// Opens ZEKLOG.TXT, appending or anew. false when it cannot be opened.
bool openLog(bool append);
void closeLog();

// Called before each console line, so that a line about the transfer never
// runs ahead of the bytes it reports: the link puts its gathered output out.
using BeforeMessage = std::function<void()>;
void setBeforeMessage(BeforeMessage hook);

// Writes the message to standard error, then the same text to the log.
// A message that carries timeStamp() formats each copy separately.
void echoLog(const char* format, ...) ZEK_PRINTF(1, 2);

// Writes a fixed Shift-JIS text to standard error in the form the console
// shows (see writeConsoleText) and its bytes to the log. Such texts take no
// arguments, so that a file name beside them reaches the console unchanged.
void echoLogText(const char* text);

// Writes the message to the log only (where the console copy differs).
void logOnly(const char* format, ...) ZEK_PRINTF(1, 2);

// The local time as HH:MM:SS in one buffer shared by every caller; use it at once.
const char* timeStamp();

}  // namespace zek::log
