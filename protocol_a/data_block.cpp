#include "protocol_a/data_block.h"

#include <cstdio>
#include <cstring>

#include "log/log.h"
#include "app/run_settings.h"
#include "link/clock.h"
#include "link/progress.h"
#include "protocol_a/records.h"

char dataBlock[dataBlockCapacity];
int dataBlockLength = 0;

namespace {

// The DAT record last sent: what a GTD from the controller accepts.
struct SentBlock {
    int length = 0;
    int lineCount = 0;
};

enum class Outcome { Accepted, Repeat, Stop };

struct StopAnswer {
    int received;
    const char* word;   // as the log line names it
    int answer;
};

// Anything not listed stops with the last entry's answer.
const StopAnswer blockStops[] = {
    {ALM, "ALM", AAL}, {RST, "RST", ARS}, {SYN, "SYN", SYN}, {UNKNOWN, "UNKNOWN", SYN},
};
const StopAnswer setExchangeStops[] = {
    {ALM, "ALM(S)", AAL}, {RST, "RST(S)", ARS}, {SYN, "SYN(S)", SYN}, {UNKNOWN, "NON(S)", RST},
};

template <int N>
Outcome stopTransfer(const StopAnswer (&stops)[N], int type)
{
    const StopAnswer* stop = &stops[N - 1];
    for (const StopAnswer& candidate : stops)
        if (candidate.received == type)
            stop = &candidate;
    echoLog("GET %s fst=%d %s\n", stop->word, type, timeStamp());
    clearDataBlock();
    sendRecord(stop->answer);
    return Outcome::Stop;
}

bool sendBlockRecord(SentBlock* sent)
{
    int status = 0;
    sendDataRecord(dataBlock, dataBlockLength, &status, &sent->lineCount);
    sent->length = dataBlockLength;
    if (status == 0)
        return true;
    echoLog("CAN NOT SEND TTY fst=%d %s\n", UNKNOWN, timeStamp());
    return false;
}

Outcome acceptBlock(const SentBlock& sent)
{
    advanceProgress(sent.length + sent.lineCount);
    clearDataBlock();
    return Outcome::Accepted;
}

int receiveType(int* status)
{
    ReceivedRecord record;
    receiveRecord(&record);
    *status = record.status;
    return record.type;
}

void reportSatInSetExchange(int type)
{
    if (runSettings.monitor)
        echoLog("GET SAT(S) fst=%d %s\n", type, timeStamp());
    else
        logOnly("GET SAT(S) fst=%d %s\n", type, timeStamp());
}

// Entered on SAT, with the block already emptied. The block was delivered
// before the SAT came, so a final GTD still counts it as sent.
Outcome setExchange(const SentBlock& sent)
{
    for (;;) {
        if (runSettings.monitor)
            std::fputs("SAT=", stderr);
        sendRecord(SET);
        int status = 0;
        int type = receiveType(&status);
        if (status != recordGood) {
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

Outcome awaitAnswer(const SentBlock& sent)
{
    int status = 0;
    int type = receiveType(&status);
    if (status != recordGood || type == UNKNOWN) {
        echoLog("RECV ERROR fst=%d %s\n", type, timeStamp());
        sleepMs(retryPauseMs);
        sendRecord(SYN);
        return Outcome::Stop;
    }
    switch (type) {
    case GTD:
        if (runSettings.monitor)
            std::fputs("GTD<", stderr);
        return acceptBlock(sent);
    case RTY:
        echoLog("GET RTY fst=%d %s\n", type, timeStamp());
        return Outcome::Repeat;
    case SAT:
        clearDataBlock();
        return setExchange(sent);
    default:
        return stopTransfer(blockStops, type);
    }
}

}  // namespace

void clearDataBlock()
{
    dataBlock[0] = '\0';
    dataBlockLength = 0;
}

int appendDataBlock(const char* text)
{
    int length = static_cast<int>(std::strlen(text));
    if (dataBlockLength + length > maxPayloadLength)
        return -1;
    std::memcpy(dataBlock + dataBlockLength, text, static_cast<std::size_t>(length) + 1);
    dataBlockLength += length;
    return 0;
}

int sendDataBlock()
{
    SentBlock sent;
    for (;;) {
        if (!sendBlockRecord(&sent))
            return -1;
        Outcome outcome = awaitAnswer(sent);
        if (outcome != Outcome::Repeat)
            return outcome == Outcome::Accepted ? 0 : -1;
    }
}
