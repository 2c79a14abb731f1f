// Program files are text: reading delivers a CR LF pair as one LF and stops
// at a byte 0x1A; writing stores each LF as CR LF. The same bytes result on
// every platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace zek::platform {

constexpr std::size_t textBlockSize = 64 * 1024;

// Reads the file a block at a time: a punch-out hands out every character
// of the program, and a library call per character cost more than the rest.
struct TextReader {
    std::FILE* file = nullptr;
    bool ended = false;  // a 0x1A was met
    int error = 0;       // why the file could not be opened or read on (an errno value); 0 while it reads
    std::unique_ptr<char[]> block;
    std::size_t next = 0;  // block[next, filled) is read but not handed out
    std::size_t filled = 0;
    int blocksRead = 0;             // since the file's start: 1 while the block holds its first bytes
    std::size_t offset = 0;         // bytes read since the file's start
    std::size_t failAt = SIZE_MAX;  // a test makes reads fail from this byte on (see text_file.cpp)
};

bool openTextReader(TextReader& reader, const char* path);
void closeTextReader(TextReader& reader);
void rewindTextReader(TextReader& reader);
int readTextChar(TextReader& reader);  // EOF at the end, or after a failed read
std::size_t readTextBlock(TextReader& reader, char* buffer, std::size_t count);
// As fgets: at most size-1 characters, up to and including a line feed.
bool readTextLine(TextReader& reader, char* buffer, std::size_t size);
// true when the reading stopped at a failed read, not at the end of the file.
bool textReadFailed(const TextReader& reader);
// The system's words for why the file could not be opened or read on.
std::string textReadError(const TextReader& reader);

// Creates or empties the file. nullptr on failure.
std::FILE* openTextWriter(const char* path);
// Writes one byte, LF as CR LF. false on failure.
bool writeTextByte(std::FILE* file, unsigned char byte);
// Writes count bytes through writeTextByte; returns how many were stored.
std::size_t writeTextBytes(std::FILE* file, const char* bytes, std::size_t count);

}  // namespace zek::platform
