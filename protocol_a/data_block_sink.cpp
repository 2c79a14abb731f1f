#include "protocol_a/data_block_sink.h"

#include <cstdio>
#include <cstring>

#include "log/log.h"
#include "platform/clock.h"

using namespace zek::log;
using namespace zek::platform;

namespace zek::protocol_a {

namespace {

// A block is sent once its length plus the last line's length plus this
// margin reaches the size of a DAT record.
constexpr std::size_t dataBlockMargin = 50;
constexpr std::size_t dataRecordSize = 1024;

}  // namespace

void DataBlock::clear()
{
    text_[0] = '\0';
    length_ = 0;
}

bool DataBlock::append(const char* text)
{
    int length = static_cast<int>(std::strlen(text));
    if (length_ + length > maxPayloadLength)
        return false;
    std::memcpy(text_ + length_, text, static_cast<std::size_t>(length) + 1);
    length_ += length;
    return true;
}

// Anything not listed stops with the last entry's answer.
const DataBlockSink::StopAnswer DataBlockSink::blockStops[4] = {
    {ALM, "ALM", AAL},
    {RST, "RST", ARS},
    {SYN, "SYN", SYN},
    {UNKNOWN, "UNKNOWN", SYN},
};
const DataBlockSink::StopAnswer DataBlockSink::setExchangeStops[4] = {
    {ALM, "ALM(S)", AAL},
    {RST, "RST(S)", ARS},
    {SYN, "SYN(S)", SYN},
    {UNKNOWN, "NON(S)", RST},
};

template <int N>
DataBlockSink::Outcome DataBlockSink::stopTransfer(const StopAnswer (&stops)[N], int type)
{
    const StopAnswer* stop = &stops[N - 1];
    for (const StopAnswer& candidate : stops)
        if (candidate.received == type)
            stop = &candidate;
    echoLog("GET %s fst=%d %s\n", stop->word, type, timeStamp());
    block_.clear();
    records_.send(stop->answer);
    return Outcome::Stop;
}

bool DataBlockSink::sendRecord(SentBlock* sent)
{
    bool written = records_.sendData(block_.text(), block_.length(), &sent->lineCount);
    sent->length = block_.length();
    if (written)
        return true;
    echoLog("CAN NOT SEND TTY fst=%d %s\n", UNKNOWN, timeStamp());
    return false;
}

DataBlockSink::Outcome DataBlockSink::acceptBlock(const SentBlock& sent)
{
    meter_.advance(sent.length + sent.lineCount);
    block_.clear();
    return Outcome::Accepted;
}

int DataBlockSink::receiveType(RecordStatus* status)
{
    ReceivedRecord record;
    records_.receive(record);
    *status = record.status;
    return record.type;
}

void DataBlockSink::reportSatInSetExchange(int type)
{
    if (records_.monitor())
        echoLog("GET SAT(S) fst=%d %s\n", type, timeStamp());
    else
        logOnly("GET SAT(S) fst=%d %s\n", type, timeStamp());
}

// Entered on SAT, with the block already emptied. The block was delivered
// before the SAT came, so a final GTD still counts it as sent.
DataBlockSink::Outcome DataBlockSink::setExchange(const SentBlock& sent)
{
    for (;;) {
        if (records_.monitor())
            consoleOnly("SAT=");
        records_.send(SET);
        RecordStatus status = RecordStatus::Good;
        int type = receiveType(&status);
        if (status != RecordStatus::Good) {
            echoLog("GET BAD SEND RESET(S)fst=%d %s\n", type, timeStamp());
            return Outcome::Stop;
        }
        switch (type) {
        case SAT:
            reportSatInSetExchange(type);
            break;
        case GTD:
            return acceptBlock(sent);
        case RTY:
            echoLog("GET RTY(S) fst=%d %s\n", type, timeStamp());
            return Outcome::Repeat;
        default:
            return stopTransfer(setExchangeStops, type);
        }
    }
}

DataBlockSink::Outcome DataBlockSink::awaitAnswer(const SentBlock& sent)
{
    RecordStatus status = RecordStatus::Good;
    int type = receiveType(&status);
    if (status != RecordStatus::Good || type == UNKNOWN) {
        echoLog("RECV ERROR fst=%d %s\n", type, timeStamp());
        sleepMs(retryPauseMs);
        records_.send(SYN);
        return Outcome::Stop;
    }
    switch (type) {
    case GTD:
        if (records_.monitor())
            consoleOnly("GTD<");
        return acceptBlock(sent);
    case RTY:
        echoLog("GET RTY fst=%d %s\n", type, timeStamp());
        return Outcome::Repeat;
    case SAT:
        block_.clear();
        return setExchange(sent);
    default:
        return stopTransfer(blockStops, type);
    }
}

bool DataBlockSink::send()
{
    SentBlock sent;
    for (;;) {
        if (!sendRecord(&sent))
            return false;
        Outcome outcome = awaitAnswer(sent);
        if (outcome != Outcome::Repeat)
            return outcome == Outcome::Accepted;
    }
}

// Appends the text, sending what is gathered first when it would not fit.
bool DataBlockSink::appendText(const char* text)
{
    if (block_.append(text))
        return true;
    if (block_.length() == 0 || !send())
        return false;
    return block_.append(text);
}

bool DataBlockSink::appendAndSend(const char* text)
{
    return appendText(text) && send();
}

void DataBlockSink::errorTape(const char* text)
{
    appendAndSend(text);
}

bool DataBlockSink::header(const char* text)
{
    if (appendAndSend(text))
        return true;
    runMustEnd_ = true;
    return false;
}

bool DataBlockSink::line(const char* text)
{
    std::size_t length = std::strlen(text);
    if (!appendText(text))
        return false;
    if (static_cast<std::size_t>(block_.length()) + length + dataBlockMargin < dataRecordSize)
        return true;
    return send();
}

bool DataBlockSink::closingLine(const char* text)
{
    return appendAndSend(text);
}

bool DataBlockSink::piece(const char* text, std::size_t)
{
    block_.clear();
    return block_.append(text) && send();
}

}  // namespace zek::protocol_a
