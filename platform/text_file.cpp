#include "platform/text_file.h"

namespace zek::platform {

namespace {

constexpr int endOfText = 0x1A;  // the old end-of-file mark; nothing after it counts

// The character after a CR, put back unless it completes a CR LF pair.
bool followedByLineFeed(std::FILE* file)
{
    int next = std::fgetc(file);
    if (next == '\n')
        return true;
    if (next != EOF)
        std::ungetc(next, file);
    return false;
}

}  // namespace

bool openTextReader(TextReader& reader, const char* path)
{
    reader.file = std::fopen(path, "rb");
    reader.ended = false;
    return reader.file != nullptr;
}

void closeTextReader(TextReader& reader)
{
    if (reader.file)
        std::fclose(reader.file);
    reader.file = nullptr;
}

void rewindTextReader(TextReader& reader)
{
    if (reader.file)
        std::rewind(reader.file);
    reader.ended = false;
}

int readTextChar(TextReader& reader)
{
    if (reader.ended || !reader.file)
        return EOF;
    int c = std::fgetc(reader.file);
    if (c == endOfText) {
        reader.ended = true;
        return EOF;
    }
    if (c == '\r' && followedByLineFeed(reader.file))
        return '\n';
    return c;
}

std::size_t readTextBlock(TextReader& reader, char* buffer, std::size_t count)
{
    std::size_t stored = 0;
    for (; stored < count; ++stored) {
        int c = readTextChar(reader);
        if (c == EOF)
            break;
        buffer[stored] = static_cast<char>(c);
    }
    return stored;
}

bool readTextLine(TextReader& reader, char* buffer, std::size_t size)
{
    if (size == 0)
        return false;
    std::size_t stored = 0;
    while (stored + 1 < size) {
        int c = readTextChar(reader);
        if (c == EOF)
            break;
        buffer[stored++] = static_cast<char>(c);
        if (c == '\n')
            break;
    }
    buffer[stored] = '\0';
    return stored > 0;
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
