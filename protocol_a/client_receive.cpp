#include "protocol_a/client_receive.h"

#include <cstdint>
#include <cstdio>

#include "app/log.h"
#include "app/run_settings.h"
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
void receiveInto(const char* name, std::FILE* file, int* badRecords)
{
    for (;;) {
        ReceivedRecord record;
        receiveRecord(&record);
        if (record.status != recordGood || record.type == UNKNOWN) {
            if (!bearBadRecord(badRecords))
                return;
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
            return;
        case EOD: {
            echoLog("\nGET FILE END EOD<SYN>");
            sendRecord(SYN);
            ReceivedRecord disregarded;
            receiveRecord(&disregarded);
            return;
        }
        case SYN:
            echoLog("GET SYN<SYN>");
            sendRecord(SYN);
            return;
        default:
            echoLog("GET UNK<SYN>");
            return;
        }
    }
}

// false when the file cannot be created: the run stops there.
bool receiveFile(const char* name, int* badRecords)
{
    echoLog(runSettings.fanucMode ? " zek ---> *kirpa (get data) FANUC_MODE\n"
                                  : " zek ---> *kirpa (get data) OKUMA_MODE\n");
    std::FILE* file = openTextWriter(name);
    if (!file) {
        echoLog(" cant open write file %s\n", name);
        return false;
    }
    echoLog(" open write file %s %s\n", name, timeStamp());
    resetFileProgress();
    clientHandshake();
    sendRecord(GTD, name);
    echoLog("FILE NAME %s GTD>\n", name);
    receiveInto(name, file, badRecords);
    std::fclose(file);
    int32_t size = 0;
    fileSize(name, &size);
    echoLog(" close file %s %ldByte %s\n", name, long(size), timeStamp());
    return true;
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
