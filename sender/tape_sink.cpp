#include "sender/tape_sink.h"

#include <cstring>

namespace zek::sender {

namespace {

constexpr std::size_t capacity = static_cast<std::size_t>(BlockSender::bufferSize);
constexpr std::size_t lineFeedCost = 3;

// In the block sender's buffer a line feed may take two more places, for the
// blank and CR that -f puts before it.
std::size_t sendCost(char c)
{
    return c == '\n' ? lineFeedCost : 1;
}

// The end of the longest part from start that fits the block sender's
// buffer. Nearly every line fits whatever it holds, and is not looked at.
std::size_t partEnd(const char* text, std::size_t start, std::size_t length)
{
    if ((length - start) * lineFeedCost <= capacity)
        return length;
    std::size_t end = start;
    std::size_t cost = 0;
    while (end < length && cost + sendCost(text[end]) <= capacity)
        cost += sendCost(text[end++]);
    return end;
}

}  // namespace

// Hands the text to the block sender in parts that fit its buffer.
bool TapeSink::send(const char* text, std::size_t length)
{
    std::size_t start = 0;
    while (start < length) {
        std::size_t end = partEnd(text, start, length);
        if (!blocks_.send(text + start, static_cast<int>(end - start)))
            return false;
        start = end;
    }
    return true;
}

void TapeSink::errorTape(const char* text)
{
    send(text, std::strlen(text));
}

bool TapeSink::header(const char* text)
{
    return send(text, std::strlen(text));
}

bool TapeSink::line(const char* text)
{
    return send(text, std::strlen(text));
}

bool TapeSink::closingLine(const char* text)
{
    return send(text, std::strlen(text));
}

bool TapeSink::piece(const char* text, std::size_t length)
{
    return send(text, length);
}

}  // namespace zek::sender
