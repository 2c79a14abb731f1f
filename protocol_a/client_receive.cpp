#include "protocol_a/client_receive.h"

#include <cstdint>
#include <cstdio>

#include "log/log.h"
#include "app/run_end.h"
#include "app/run_settings.h"
#include "link/channel.h"
#include "link/clock.h"
#include "link/file_status.h"
#include "link/progress.h"
#include "link/text_file.h"
#include "protocol_a/handshake.h"
#include "protocol_a/records.h"

namespace {

const char* const defaultReceiveName = "ZEK99GET.DAT";
constexpr int32_t bytesPerKilobyte = 1000;

void listReceiveNames()
{
    const char** names = runSettings.fileNames;
    if (!names[0]) {
        names[0] = defaultReceiveName;
        names[1] = nullptr;
        echoLog("\nNO_FILE_NAME MODE SET FILENAME %s\n", defaultReceiveName);
        return;
    }
    for (int i = 0; names[i]; ++i)
        echoLog("FILE%d=%s ", i, names[i]);
    echoLog("\n");
}

// false once the file has been given up after too many bad records.
bool bearBadRecord(int* badRecords)
{
    echoLog("GET BAD DATA RESET COM\n");
    sleepMs(retryPauseMs);
    sendRecord(RTY);
    echoLog("RTY>");
    return ++*badRecords <= maxBadRecords;
}

// false when the payload could not be stored (a full disk, say): the file is
// then given up rather than reported as received.
bool storeData(std::FILE* file, const ReceivedRecord& record)
{
    if (runSettings.monitor)
        std::fputs("DAT<", stderr);
    std::size_t length = static_cast<std::size_t>(record.payloadLength);
    if (writeTextBytes(file, record.payload, length) != length || std::fflush(file) != 0)
        return false;
    sendRecord(GTD);
    if (runSettings.monitor)
        std::fputs("GTD>", stderr);
    showKilobyteProgress(record.payloadLength);
    return true;
}

// Stores DAT payloads until the controller ends the file or it is given up.
// true when the file came whole, up to its EOD.
bool receiveInto(const char* name, std::FILE* file, int* badRecords)
{
    for (;;) {
        ReceivedRecord record;
        receiveRecord(&record);
        if (record.status != recordGood || record.type == UNKNOWN) {
            if (!bearBadRecord(badRecords))
                return false;
            continue;
        }
        *badRecords = 0;
        decodePayload(record.payload, record.payloadLength);
        switch (record.type) {
        case DAT:
            if (storeData(file, record))
                break;
            echoLog("Can't Write Recv File %s\n", name);
            sendRecord(RST);
            return false;
        case EOD: {
            echoLog("\nGET FILE END EOD<SYN>");
            sendRecord(SYN);
            ReceivedRecord disregarded;
            receiveRecord(&disregarded);
            return true;
        }
        case SYN:
            echoLog("GET SYN<SYN>");
            sendRecord(SYN);
            return false;
        default:
            echoLog("GET UNK<SYN>");
            return false;
        }
    }
}

// Asks for the file and stores it. false when the link is lost.
bool requestFile(const char* name, std::FILE* file, int* badRecords)
{
    if (!clientHandshake())
        return false;
    sendRecord(GTD, name);
    echoLog("FILE NAME %s GTD>\n", name);
    if (!receiveInto(name, file, badRecords))
        noteTransferFailed();
    return !reportLostLink();
}

// false when the run stops there: the file cannot be created, or the link
// is lost (what came so far stays in the file).
bool receiveFile(const char* name, int* badRecords)
{
    echoLog(runSettings.fanucMode ? " zek ---> *kirpa (get data) FANUC_MODE\n"
                                  : " zek ---> *kirpa (get data) OKUMA_MODE\n");
    std::FILE* file = openTextWriter(name);
    if (!file) {
        echoLog(" cant open write file %s\n", name);
        noteTransferFailed();
        return false;
    }
    echoLog(" open write file %s %s\n", name, timeStamp());
    resetFileProgress();
    bool linkStands = requestFile(name, file, badRecords);
    if (!linkStands)
        noteTransferFailed();
    std::fclose(file);
    int32_t size = 0;
    fileSize(name, &size);
    echoLog(" close file %s %ldByte %s\n", name, long(size), timeStamp());
    return linkStands;
}

}  // namespace

void protocolAReceive()
{
    resetProgress();
    listReceiveNames();
    int badRecords = 0;
    for (int i = 0; runSettings.fileNames[i]; ++i)
        if (!receiveFile(runSettings.fileNames[i], &badRecords))
            return;
    echoLog("TOTAL RECV FILE %ldKB\n", long(runSettings.bytesSent / bytesPerKilobyte));
    sendRecord(SYN);
}
