#include "protocol_a/server.h"

#include <cstdio>
#include <cstring>

#include "log/log.h"
#include "app/run_settings.h"
#include "link/channel.h"
#include "link/clock.h"
#include "link/progress.h"
#include "link/text_file.h"
#include "protocol_a/file_name_check.h"
#include "protocol_a/records.h"
#include "sender/plain_send.h"
#include "sender/subprogram_send.h"

namespace {

const char* const fallbackName = "ZEKTMP.TXT";
constexpr int reopenPauseMs = 200;
constexpr int controllerWaitMs = 5000;   // what a WAT asks for

// Clears what the line still holds and opens it anew. A TCP connection is
// kept while the controller holds it: an idle controller is no noisy line.
void restartLink(int pauseMs)
{
    purgeInput();
    sleepMs(pauseMs);
    renewLink();
}

void receiveGoodRecord(ReceivedRecord* record)
{
    receiveRecord(record);
    while (record->status != recordGood) {
        sendRecord(SYN);
        echoLog("ERR-RETRY SYN SEND %s\n", timeStamp());
        restartLink(reopenPauseMs);
        receiveRecord(record);
    }
}

// The name a request carries, else the command line's first, else the fallback.
const char* requestedName(const char* payload)
{
    if (payload[0] != '\0')
        return payload;
    return runSettings.fileNames[0] ? runSettings.fileNames[0] : fallbackName;
}

bool refuseOutsideName(const char* name)
{
    if (isNameInsideWorkDir(name))
        return false;
    echoLog("ILLEGAL FILE NAME %s %s\n", name, timeStamp());
    return true;
}

int sendProgram(const char* payload)
{
    const char* name = requestedName(payload);
    if (refuseOutsideName(name))
        return -1;
    runSettings.bytesSent = 0;
    int result = 0;
    if (runSettings.subProgramCall) {
        echoLog("SEND(A) SUB MODE START %s %s\n", name, timeStamp());
        result = subProgramSend(name, true, InlineCall, 1, nullptr);
        echoLog("SEND(A) SUB MODE END %s %ldByte %ld%% %s\n", name, long(runSettings.bytesSent),
                long(runSettings.percentSent), timeStamp());
    } else {
        echoLog("SEND(A) NO_SUB MODE START %s %s\n", name, timeStamp());
        result = plainSend(name);
        echoLog("SEND(A) NO_SUB MODE END %s %ldByte %ld%% %s\n", name, long(runSettings.bytesSent),
                long(runSettings.percentSent), timeStamp());
    }
    return result;
}

int receiveAnnouncedFile(char* payload)
{
    char* blank = std::strchr(payload, ' ');
    if (blank)
        *blank = '\0';
    const char* name = requestedName(payload);
    if (refuseOutsideName(name))
        return -1;
    return serverReceiveFile(name);
}

int answerTo(ReceivedRecord& record)
{
    switch (record.type) {
    case RDY:
        return RDY;
    case RST:
        return ARS;
    case ALM:
        return AAL;
    case SAT:
        storeSatPayload(record.payload);
        return SET;
    case GTD:
        return sendProgram(record.payload) == 0 ? EOD : RST;
    case RTD:
        return receiveAnnouncedFile(record.payload) == 0 ? SET : RST;
    default:
        return SYN;
    }
}

void retryRead()
{
    sleepMs(retryPauseMs);
    sendRecord(RTY);
    echoLog("READ RETRY %s\n", timeStamp());
    restartLink(retryPauseMs);
}

// false after a short write, which has been reported. Each payload is flushed
// so a full disk shows here, before the controller is told the file arrived.
bool storeData(std::FILE* file, ReceivedRecord& record, const char* name)
{
    decodePayload(record.payload, record.payloadLength);
    std::size_t length = static_cast<std::size_t>(record.payloadLength);
    if (writeTextBytes(file, record.payload, length) < length || std::fflush(file) != 0) {
        echoLog("Can't Write Recv File %s\n", name);
        return false;
    }
    showKilobyteProgress(record.payloadLength);
    sendRecord(GTD);
    return true;
}

// Receives DAT records into the open file until the controller ends it.
int receiveData(std::FILE* file, const char* name)
{
    for (;;) {
        ReceivedRecord record;
        receiveRecord(&record);
        if (record.status != recordGood && reportLostLink())
            return -1;
        if (record.status != recordGood) {
            retryRead();
            continue;
        }
        switch (record.type) {
        case WAT:
            echoLog(" READ WAT SLEEP %s\n", timeStamp());
            sleepMs(controllerWaitMs);
            sendRecord(GTD);
            break;
        case DAT:
            if (!storeData(file, record, name))
                return -1;
            break;
        case EOD:
            echoLog("\rRECV(A) END %s %ldByte %s\n", name, long(runSettings.bytesSent), timeStamp());
            return 0;
        default:
            echoLog("RECV(A) RESET %s %ldByte %s\n", name, long(runSettings.bytesSent),
                    timeStamp());
            return -1;
        }
    }
}

}  // namespace

void protocolAServer()
{
    echoLog("** PROT(A) SERVER MODE ** %s\n", timeStamp());
    for (;;) {
        ReceivedRecord record;
        receiveGoodRecord(&record);
        sendRecord(answerTo(record));
    }
}

int serverReceiveFile(const char* name)
{
    echoLog("RECV(A) START %s %s\n", name, timeStamp());
    std::FILE* file = openTextWriter(name);
    if (!file) {
        echoLog("Can't Open Write File %s\n", name);
        return -1;
    }
    runSettings.bytesSent = 0;
    resetFileProgress();
    sendRecord(GTD);
    int result = receiveData(file, name);
    std::fclose(file);
    return result;
}
