#include "link/block_sender.h"

#include <cstdio>

#include "app/run_settings.h"
#include "link/channel.h"
#include "link/progress.h"
#include "tape/tape_code.h"

namespace {

int countLineFeeds(const char* text, int length)
{
    int lineFeeds = 0;
    for (int i = 0; i < length; ++i)
        lineFeeds += text[i] == '\n';
    return lineFeeds;
}

// With -f a line ends in space, CR, LF on the tape; EIA has no CR to add.
bool addsCarriageReturns()
{
    return runSettings.crlf && runSettings.codeMode != Eia;
}

unsigned char lineCode(unsigned char c)
{
    switch (runSettings.codeMode) {
    case Eia:
        return eiaEncode(c);
    case Ascii:
        return c;
    default:
        return isoEncode(c);
    }
}

void convertBlock(const char* text, int length, unsigned char* out)
{
    int size = 0;
    for (int i = 0; i < length; ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c == '\n' && addsCarriageReturns()) {
            out[size++] = lineCode(' ');
            out[size++] = lineCode('\r');
        }
        out[size++] = lineCode(c);
    }
}

}  // namespace

int sendBlock(const char* text, int length)
{
    int lineFeeds = countLineFeeds(text, length);
    int size = length + (addsCarriageReturns() ? 2 * lineFeeds : 0);
    if (length < 0 || size > sendBufferSize)
        return -1;
    // One look at the line per block, before it: a break code that comes
    // while a block goes out stops the next one.
    if (checkLine() != 0)
        return -1;
    unsigned char buffer[sendBufferSize];
    convertBlock(text, length, buffer);
    if (runSettings.monitor)
        std::fwrite(text, 1, static_cast<std::size_t>(length), stdout);
    if (writeBytes(buffer, size) != 0)
        return -1;
    advanceProgress(length + lineFeeds);
    return 0;
}
