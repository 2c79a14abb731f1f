#include "protocol_a/client_send.h"

#include <algorithm>
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

// State that lasts the whole run: the retry counter spans every file.
struct SendRun {
    int badRecords = 0;
    char piece[recordSize] = {};   // the last piece read, for a repeat
};

void printBanner()
{
    std::fputs(" zek (Srever-A) <--- *zek (send data)\n", stderr);
    logOnly(" zek (Srever-A) <--- *zek  (send data)\n");
}

// false at the end of the file.
bool sendNextPiece(TextReader& reader, SendRun& run)
{
    std::size_t wanted = static_cast<std::size_t>(
        std::clamp<int32_t>(runSettings.dataBlockSize, 1, maxPayloadLength));
    std::size_t count = readTextBlock(reader, run.piece, wanted);
    run.piece[count] = '\0';
    if (count == 0)
        return false;
    sendRecord(DAT, run.piece);
    if (runSettings.monitor) {
        std::fputs(run.piece, stdout);
        std::fputs("GTD<DAT>", stderr);
    }
    advanceProgress(static_cast<int32_t>(count));
    return true;
}

void endFile(const char* name)
{
    sendRecord(EOD);
    echoLog("GTD< END OF DATA EOD>\n");
    echoLog(" close file %s\n", name);
    ReceivedRecord disregarded;
    receiveRecord(&disregarded);
}

// false once the file has been given up after too many bad records.
bool bearBadRecord(const char* name, SendRun& run)
{
    echoLog("BAD DATA RTY>file %s\n", name);
    sleepMs(retryPauseMs);
    sendRecord(RTY);
    return ++run.badRecords <= maxBadRecords;
}

// Answers the controller's requests until the file has gone or is given up.
// true when the whole file went, up to its EOD.
bool transferFile(TextReader& reader, const char* name, SendRun& run)
{
    for (;;) {
        ReceivedRecord record;
        receiveRecord(&record);
        if (record.status != recordGood || record.type == UNKNOWN) {
            if (!bearBadRecord(name, run))
                return false;
            continue;
        }
        run.badRecords = 0;
        switch (record.type) {
        case GTD:
            if (!sendNextPiece(reader, run)) {
                endFile(name);
                return true;
            }
            break;
        case RTY:
            sendRecord(DAT, run.piece);
            echoLog("DATA RE-SEND DAT>file %s\n", name);
            break;
        default:
            sendRecord(SYN);
            echoLog("SYN>close file %s %s\n", name, timeStamp());
            return false;
        }
    }
}

// Announces the file and sends it. false when the link is lost.
bool offerFile(TextReader& reader, const char* name, SendRun& run)
{
    if (!clientHandshake())
        return false;
    // A repeat asked for before the first piece must not carry the previous file's data.
    run.piece[0] = '\0';
    sendRecord(RTD, name);
    std::fprintf(stderr, "RTD>file %s\n", name);
    if (!transferFile(reader, name, run))
        noteTransferFailed();
    return !reportLostLink();
}

// false when the run must stop: the file cannot be read or is empty, or the
// link is lost.
bool sendFile(const char* name, SendRun& run)
{
    printBanner();
    TextReader reader;
    if (!openTextReader(reader, name)) {
        echoLog(" cant open read file %s\n", name);
        noteTransferFailed();
        return false;
    }
    int32_t size = 0;
    fileSize(name, &size);
    echoLog(" open send file %s %ldByte %s\n", name, long(size), timeStamp());
    if (size == 0) {
        closeTextReader(reader);
        noteTransferFailed();
        return false;
    }
    runSettings.progressTotal = size;
    resetFileProgress();
    bool linkStands = offerFile(reader, name, run);
    if (!linkStands)
        noteTransferFailed();
    closeTextReader(reader);
    return linkStands;
}

}  // namespace

void protocolASend()
{
    resetProgress();
    if (!runSettings.fileNames[0]) {
        printBanner();
        echoLog(" cant open read file %s\n", "");
        noteTransferFailed();
        return;
    }
    SendRun run;
    for (int i = 0; runSettings.fileNames[i]; ++i)
        if (!sendFile(runSettings.fileNames[i], run))
            return;
    echoLog(" SEND FILE TOTAL %ldByte\n", long(runSettings.bytesSent));
    sendRecord(SYN);
}
