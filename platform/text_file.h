// Program files are text: reading delivers a CR LF pair as one LF and stops
// at a byte 0x1A; writing stores each LF as CR LF. The same bytes result on
// every platform.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>

namespace zek::platform {

constexpr std::size_t textBlockSize = 64 * 1024;

// Reads the file a block at a time: a punch-out hands out every character
// of the program, and a library call per character cost more than the rest.
struct TextReader {
    std::FILE* file = nullptr;
    bool ended = false;  // a 0x1A was met
    std::unique_ptr<char[]> block;
    std::size_t next = 0;  // block[next, filled) is read but not handed out
    std::size_t filled = 0;
    int blocksRead = 0;  // since the file's start: 1 while the block holds its first bytes
};

bool openTextReader(TextReader& reader, const char* path);
void closeTextReader(TextReader& reader);
void rewindTextReader(TextReader& reader);
int readTextChar(TextReader& reader);  // EOF at the end
std::size_t readTextBlock(TextReader& reader, char* buffer, std::size_t count);
// As fgets: at most size-1 characters, up to and including a line feed.
bool readTextLine(TextReader& reader, char* buffer, std::size_t size);

// Creates or empties the file. nullptr on failure.
std::FILE* openTextWriter(const char* path);
// Writes one byte, LF as CR LF. false on failure.
bool writeTextByte(std::FILE* file, unsigned char byte);
// Writes count bytes through writeTextByte; returns how many were stored.
std::size_t writeTextBytes(std::FILE* file, const char* bytes, std::size_t count);

}  // namespace zek::platform
