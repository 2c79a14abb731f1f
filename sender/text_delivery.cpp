#include "sender/text_delivery.h"

#include <cstring>

#include "app/run_end.h"
#include "app/run_settings.h"
#include "link/block_sender.h"
#include "protocol_a/data_block.h"

namespace {

// A block is sent once its length plus the last line's length plus this
// margin reaches the size of a DAT record.
constexpr std::size_t dataBlockMargin = 50;
constexpr std::size_t dataRecordSize = 1024;

// In the block sender's buffer a line feed may take two more places, for the
// blank and CR that -f puts before it.
std::size_t sendCost(char c)
{
    return c == '\n' ? 3 : 1;
}

// Hands the text to the block sender in parts that fit its buffer.
int sendTape(const char* text, std::size_t length)
{
    std::size_t start = 0;
    while (start < length) {
        std::size_t end = start;
        std::size_t cost = 0;
        while (end < length && cost + sendCost(text[end]) <= static_cast<std::size_t>(sendBufferSize))
            cost += sendCost(text[end++]);
        if (sendBlock(text + start, static_cast<int>(end - start)) != 0)
            return -1;
        start = end;
    }
    return 0;
}

// Appends the text, sending what is gathered first when it would not fit.
int appendText(const char* text)
{
    if (appendDataBlock(text) == 0)
        return 0;
    if (dataBlockLength == 0 || sendDataBlock() != 0)
        return -1;
    return appendDataBlock(text);
}

int appendAndSend(const char* text)
{
    if (appendText(text) != 0)
        return -1;
    return sendDataBlock();
}

}  // namespace

void deliverErrorTape(const char* text)
{
    if (!runSettings.serverA)
        sendTape(text, std::strlen(text));
    else
        appendAndSend(text);
}

int deliverHeader(const char* text)
{
    if (!runSettings.serverA)
        return sendTape(text, std::strlen(text));
    if (appendAndSend(text) != 0) {
        noteTransferFailed();
        programEnd(1);
    }
    return 0;
}

int deliverLine(const char* text)
{
    if (!runSettings.serverA)
        return sendTape(text, std::strlen(text));
    std::size_t length = std::strlen(text);
    if (appendText(text) != 0)
        return -1;
    if (static_cast<std::size_t>(dataBlockLength) + length + dataBlockMargin < dataRecordSize)
        return 0;
    return sendDataBlock();
}

int deliverClosingLine(const char* text)
{
    if (!runSettings.serverA)
        return sendTape(text, std::strlen(text));
    return appendAndSend(text);
}

int deliverPiece(const char* piece, std::size_t length)
{
    if (!runSettings.serverA)
        return sendTape(piece, length);
    clearDataBlock();
    if (appendDataBlock(piece) != 0)
        return -1;
    return sendDataBlock();
}
