#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "log/log.h"
#include "platform/clock.h"
#include "platform/file_status.h"
#include "platform/stop_signal.h"
#include "platform/text_file.h"
#include "protocol_a/handshake.h"
#include "protocol_a/protocol_a.h"
#include "sender/send_status.h"

using namespace zek::log;
using namespace zek::sender;
using namespace zek::platform;

namespace zek::protocol_a {

namespace {

// State that lasts the whole run: the retry counter spans every file.
struct SendRun {
    RecordLine& records;
    ProgressMeter& meter;
    const ProtocolASettings& settings;
    int badRecords = 0;
    bool failed = false;          // a file was not sent whole
    char piece[recordSize] = {};  // the last piece read, for a repeat
};

void printBanner()
{
    echoLogEach(" zek (Srever-A) <--- *zek (send data)\n", " zek (Srever-A) <--- *zek  (send data)\n");
}

// false at the end of the file, or where it fails to read.
bool sendNextPiece(TextReader& reader, SendRun& run)
{
    std::size_t wanted = static_cast<std::size_t>(std::clamp<int32_t>(run.settings.dataBlockSize, 1, maxPayloadLength));
    std::size_t count = readTextBlock(reader, run.piece, wanted);
    run.piece[count] = '\0';
    if (count == 0)
        return false;
    run.records.send(DAT, run.piece);
    if (run.records.monitor()) {
        echoMonitor(run.piece, std::strlen(run.piece));
        consoleOnly("GTD<DAT>");
    }
    run.meter.advance(static_cast<int32_t>(count));
    return true;
}

void endFile(RecordLine& records, const char* name)
{
    records.send(EOD);
    echoLog("GTD< END OF DATA EOD>\n");
    echoLog(" close file %s\n", name);
    ReceivedRecord disregarded;
    records.receive(disregarded);
}

// A file that fails to read before its end gets no EOD, which would pass it
// off as whole: SYN ends the transfer. Always false.
bool abandonUnreadFile(const TextReader& reader, const char* name, RecordLine& records)
{
    printReadError(name, textReadError(reader));
    records.send(SYN);
    return false;
}

// false once the file has been given up after too many bad records, or the
// run is being stopped.
bool bearBadRecord(const char* name, SendRun& run)
{
    if (stopRequested())
        return false;
    echoLog("BAD DATA RTY>file %s\n", name);
    sleepMs(retryPauseMs);
    run.records.send(RTY);
    return ++run.badRecords <= maxBadRecords;
}

// Answers the controller's requests until the file has gone or is given up.
// true when the whole file went, up to its EOD.
bool transferFile(TextReader& reader, const char* name, SendRun& run)
{
    for (;;) {
        ReceivedRecord record;
        run.records.receive(record);
        if (record.status != RecordStatus::Good || record.type == UNKNOWN) {
            if (!bearBadRecord(name, run))
                return false;
            continue;
        }
        run.badRecords = 0;
        switch (record.type) {
        case GTD:
            if (sendNextPiece(reader, run))
                break;
            if (textReadFailed(reader))
                return abandonUnreadFile(reader, name, run.records);
            endFile(run.records, name);
            return true;
        case RTY:
            run.records.send(DAT, run.piece);
            echoLog("DATA RE-SEND DAT>file %s\n", name);
            break;
        default:
            run.records.send(SYN);
            echoLog("SYN>close file %s %s\n", name, timeStamp());
            return false;
        }
    }
}

// Announces the file and sends it. false when the link is lost.
bool offerFile(TextReader& reader, const char* name, SendRun& run)
{
    if (!clientHandshake(run.records))
        return false;
    // A repeat asked for before the first piece must not carry the previous file's data.
    run.piece[0] = '\0';
    run.records.send(RTD, name);
    consoleOnly("RTD>file %s\n", name);
    if (!transferFile(reader, name, run))
        run.failed = true;
    return !run.records.link().lineGone();
}

// false when the run must stop: the file cannot be read or is empty, or the
// link is lost.
bool sendFile(const char* name, SendRun& run)
{
    printBanner();
    TextReader reader;
    if (!openTextReader(reader, name)) {
        echoLog(" cant open read file %s\n", name);
        run.failed = true;
        return false;
    }
    int32_t size = fileSize(name);
    echoLog(" open send file %s %ldByte %s\n", name, long(size), timeStamp());
    if (size == 0) {
        closeTextReader(reader);
        run.failed = true;
        return false;
    }
    run.meter.setTotal(size);
    run.meter.resetFile();
    bool linkStands = offerFile(reader, name, run);
    if (!linkStands)
        run.failed = true;
    closeTextReader(reader);
    return linkStands;
}

}  // namespace

TransferOutcome protocolASend(RecordLine& records, ProgressMeter& meter, const ProtocolASettings& settings)
{
    meter.reset();
    if (!settings.fileNames[0]) {
        printBanner();
        echoLog(" cant open read file %s\n", "");
        return TransferOutcome::Failed;
    }
    SendRun run{records, meter, settings};
    for (int i = 0; settings.fileNames[i]; ++i)
        if (!sendFile(settings.fileNames[i], run))
            return TransferOutcome::Failed;
    echoLog(" SEND FILE TOTAL %ldByte\n", long(meter.bytesSent()));
    records.send(SYN);
    return run.failed ? TransferOutcome::Failed : TransferOutcome::Completed;
}

}  // namespace zek::protocol_a
