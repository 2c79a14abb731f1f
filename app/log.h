// Console and log output shared by every part of the program.
#pragma once

#define ZEK_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))

// Opens ZEKLOG.TXT, appending unless runSettings.logAppend is 0. Exits with
// status 1 when the log cannot be opened.
void openLog();
void closeLog();

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
