#include "platform/text_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace zek::platform {

namespace {

constexpr char endOfText = 0x1A;  // the old end-of-file mark; nothing after it counts
constexpr const char* failReadSwitch = "ZEK_FAIL_READ";

// For the tests only, since no real part of a test machine fails a read in
// the middle of a file: ZEK_FAIL_READ=NAME:COUNT makes every read of the file
// opened as NAME fail with EIO after its first COUNT bytes.
std::size_t failingByte(const char* path)
{
    const char* setting = std::getenv(failReadSwitch);
    const char* colon = setting ? std::strrchr(setting, ':') : nullptr;
    if (!colon || std::string(setting, colon) != path)
        return SIZE_MAX;
    return std::strtoul(colon + 1, nullptr, 10);
}

int errorOr(int fallback)
{
    return errno != 0 ? errno : fallback;
}

void forgetBlock(TextReader& reader)
{
    reader.next = 0;
    reader.filled = 0;
    reader.blocksRead = 0;
    reader.offset = 0;
}

// false at the end of the file, or when it cannot be read on.
bool fillBlock(TextReader& reader)
{
    reader.next = 0;
    reader.filled = 0;
    if (reader.error != 0)
        return false;
    ++reader.blocksRead;
    std::size_t wanted = std::min(textBlockSize, reader.failAt - reader.offset);
    errno = 0;
    reader.filled = std::fread(reader.block.get(), 1, wanted, reader.file);
    reader.offset += reader.filled;
    if (std::ferror(reader.file) || wanted == 0)
        reader.error = errorOr(EIO);
    return reader.filled > 0;
}

// The next byte of the file as stored; EOF at its end.
int nextByte(TextReader& reader)
{
    if (reader.next == reader.filled && !fillBlock(reader))
        return EOF;
    return static_cast<unsigned char>(reader.block[reader.next++]);
}

// The byte after a CR, taken only when it completes a CR LF pair; it may be
// the first of the next block.
bool followedByLineFeed(TextReader& reader)
{
    if (reader.next == reader.filled && !fillBlock(reader))
        return false;
    if (reader.block[reader.next] != '\n')
        return false;
    ++reader.next;
    return true;
}

std::size_t lengthBefore(const char* text, std::size_t length, char stop)
{
    const void* found = std::memchr(text, stop, length);
    return found ? static_cast<std::size_t>(static_cast<const char*>(found) - text) : length;
}

// Copies the held bytes that no rule applies to: at most room of them, none
// from a CR or 0x1A on, and with stopAfterLineFeed none after a LF.
std::size_t takePlainBytes(TextReader& reader, char* out, std::size_t room, bool stopAfterLineFeed)
{
    if (reader.ended || reader.next == reader.filled)
        return 0;
    const char* held = reader.block.get() + reader.next;
    std::size_t length = std::min(room, reader.filled - reader.next);
    if (stopAfterLineFeed)
        length = std::min(length, lengthBefore(held, length, '\n') + 1);
    length = lengthBefore(held, length, '\r');
    length = lengthBefore(held, length, endOfText);
    std::memcpy(out, held, length);
    reader.next += length;
    return length;
}

// Runs of plain bytes are copied whole; a CR, a 0x1A and the block's end go
// through readTextChar.
std::size_t readText(TextReader& reader, char* buffer, std::size_t count, bool stopAfterLineFeed)
{
    std::size_t stored = 0;
    while (stored < count) {
        std::size_t taken = takePlainBytes(reader, buffer + stored, count - stored, stopAfterLineFeed);
        if (taken == 0) {
            int c = readTextChar(reader);
            if (c == EOF)
                break;
            buffer[stored] = static_cast<char>(c);
            taken = 1;
        }
        stored += taken;
        if (stopAfterLineFeed && buffer[stored - 1] == '\n')
            break;
    }
    return stored;
}

}  // namespace

bool openTextReader(TextReader& reader, const char* path)
{
    errno = 0;
    reader.file = std::fopen(path, "rb");
    reader.ended = false;
    reader.error = reader.file ? 0 : errorOr(ENOENT);
    reader.failAt = failingByte(path);
    forgetBlock(reader);
    if (reader.file)
        std::setvbuf(reader.file, nullptr, _IONBF, 0);  // the reader holds its own block
    if (reader.file && !reader.block)
        reader.block.reset(new char[textBlockSize]);
    return reader.file != nullptr;
}

void closeTextReader(TextReader& reader)
{
    if (reader.file)
        std::fclose(reader.file);
    reader.file = nullptr;
    forgetBlock(reader);
}

// A short file, a sub-program say, is read once: its start is still held.
void rewindTextReader(TextReader& reader)
{
    reader.ended = false;
    if (reader.blocksRead == 1 && reader.filled > 0) {
        reader.next = 0;
        return;
    }
    if (reader.file) {
        std::rewind(reader.file);  // clears the error too: the file is read anew
        reader.error = 0;
    }
    forgetBlock(reader);
}

int readTextChar(TextReader& reader)
{
    if (reader.ended || !reader.file)
        return EOF;
    int c = nextByte(reader);
    if (c == endOfText) {
        reader.ended = true;
        return EOF;
    }
    if (c == '\r' && followedByLineFeed(reader))
        return '\n';
    return c;
}

std::size_t readTextBlock(TextReader& reader, char* buffer, std::size_t count)
{
    return readText(reader, buffer, count, false);
}

bool readTextLine(TextReader& reader, char* buffer, std::size_t size)
{
    if (size == 0)
        return false;
    std::size_t stored = readText(reader, buffer, size - 1, true);
    buffer[stored] = '\0';
    return stored > 0;
}

bool textReadFailed(const TextReader& reader)
{
    return reader.error != 0;
}

std::string textReadError(const TextReader& reader)
{
    return std::strerror(reader.error);
}

std::FILE* openTextWriter(const char* path)
{
    return std::fopen(path, "wb");
}

bool writeTextByte(std::FILE* file, unsigned char byte)
{
    if (byte == '\n' && std::fputc('\r', file) == EOF)
        return false;
    return std::fputc(byte, file) != EOF;
}

std::size_t writeTextBytes(std::FILE* file, const char* bytes, std::size_t count)
{
    std::size_t stored = 0;
    while (stored < count && writeTextByte(file, static_cast<unsigned char>(bytes[stored])))
        ++stored;
    return stored;
}

}  // namespace zek::platform
