// Console and log output: the one way every part of the program writes to
// the operator's console and to ZEKLOG.TXT. Nothing else writes to standard
// error or standard output, so no console line runs ahead of the bytes it
// reports (see setBeforeMessage).
#pragma once

#include <cstddef>
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

// One message in two texts: consoleFormat on standard error, then logFormat
// in the log, both with the same arguments.
void echoLogEach(const char* consoleFormat, const char* logFormat, ...) ZEK_PRINTF(1, 3) ZEK_PRINTF(2, 3);

// Writes a fixed Shift-JIS text to standard error in the form the console
// shows (see writeConsoleText) and its bytes to the log. Such texts take no
// arguments, so that a file name beside them reaches the console unchanged.
void echoLogText(const char* text);

// Writes the message to the log only.
void logOnly(const char* format, ...) ZEK_PRINTF(1, 2);

// Writes the message to standard error only: progress marks, the banner.
void consoleOnly(const char* format, ...) ZEK_PRINTF(1, 2);

// A progress mark on standard error. A punch-out of many short sub-programs
// prints thousands: marks are held and written together at most a few
// times a second, and before anything else reaches the console. Unlike a
// line, a mark does not wait for the gathered bytes it counts to go out.
void showProgress(const char* format, ...) ZEK_PRINTF(1, 2);

// A failed port or socket call, as perror reports it: the name of the call,
// a colon, a blank and the system's reason, on standard error only.
void reportFailure(const char* call);

// Writes a line to standard output at once: the few start-up lines that go there.
void printOut(const char* format, ...) ZEK_PRINTF(1, 2);

// The monitor echo (-o): transferred characters on standard output.
void echoMonitor(const char* text, std::size_t length);

// The local time as HH:MM:SS in one buffer shared by every caller; use it at once.
const char* timeStamp();

}  // namespace zek::log
