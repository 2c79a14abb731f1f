// The lines that report each program file the sender opens and closes.
#pragma once

#include <string>

namespace zek::sender {

// Status words: each is followed directly by the file name.
constexpr const char* noFileWord = " NOFILE ";
constexpr const char* notAsciiWord = " ASC_ERR ";
constexpr const char* tooShortWord = " NO_SIZE ";
constexpr const char* startWord = " START ";
constexpr const char* openWord = " OPEN_ ";
constexpr const char* errorCloseWord = " ERR-CLOSE ";
constexpr const char* loopWord = " ERR-LOOP";
constexpr const char* closeWord = " CLOSE ";
constexpr const char* endWord = " _END_ ";

// Word and name with the time, on the console and in the log.
void printStatus(const char* word, const char* name);
// Word and name without a time: a file refused before anything was sent.
void printRefusal(const char* word, const char* name);
// As printStatus, but the console copy starts over the progress marks.
void printClosing(const char* word, const char* name);
// A file that failed to read before its end: name, the system's words, the time.
void printReadError(const char* name, const std::string& reason);

}  // namespace zek::sender
