#include "sender/block_sender.h"

#include <algorithm>
#include <cstring>

#include "log/log.h"

using namespace zek::link;
using namespace zek::log;
using namespace zek::tape;

namespace zek::sender {

namespace {

int countLineFeeds(const char* text, int length)
{
    int lineFeeds = 0;
    const char* end = text + std::max(length, 0);
    for (const char* c = text; (c = static_cast<const char*>(std::memchr(c, '\n', static_cast<std::size_t>(end - c))));
         ++c)
        ++lineFeeds;
    return lineFeeds;
}

bool isBreakCode(int byte)
{
    return byte == asciiPercent || byte == isoPercent || byte == eiaPercent || byte == isoSyn;
}

}  // namespace

// The watch only looks at what has come: a controller in the middle of a
// punch-out sends nothing, and the next block must not wait for it. Any
// other byte lets the send go on and is dropped.
bool BlockSender::stoppedByController()
{
    if (!settings_.watchBreakCodes || !isBreakCode(link_.pollByte()))
        return false;
    echoLog("BREAK CODE DEFINE \n");
    return true;
}

// With -f a line ends in space, CR, LF on the tape; EIA has no CR to add.
bool BlockSender::addsCarriageReturns() const
{
    return settings_.crlf && settings_.code != TapeCode::Eia;
}

void BlockSender::convert(const char* text, int length, unsigned char* out) const
{
    // The table's address in a local: a store through out could otherwise
    // be taken to change it, and it would be fetched again for each byte.
    const unsigned char* codes = encodeTable(settings_.code).data();
    auto code = [codes](char c) { return codes[static_cast<unsigned char>(c)]; };
    if (!addsCarriageReturns()) {
        std::transform(text, text + length, out, code);
        return;
    }
    int size = 0;
    for (int i = 0; i < length; ++i) {
        if (text[i] == '\n') {
            out[size++] = code(' ');
            out[size++] = code('\r');
        }
        out[size++] = code(text[i]);
    }
}

bool BlockSender::send(const char* text, int length)
{
    int lineFeeds = countLineFeeds(text, length);
    int size = length + (addsCarriageReturns() ? 2 * lineFeeds : 0);
    if (length < 0 || size > bufferSize)
        return false;
    // One look at the line per block, before it: a break code that comes
    // while a block goes out stops the next one.
    if (!checkLine(link_) || stoppedByController())
        return false;
    unsigned char buffer[bufferSize];
    convert(text, length, buffer);
    if (settings_.monitor)
        echoMonitor(text, static_cast<std::size_t>(length));
    if (!link_.write(buffer, size))
        return false;
    meter_.advance(length + lineFeeds);
    return true;
}

}  // namespace zek::sender
