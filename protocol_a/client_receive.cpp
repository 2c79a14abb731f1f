#include <cstdint>

#include "log/log.h"
#include "platform/clock.h"
#include "platform/file_status.h"
#include "platform/stop_signal.h"
#include "protocol_a/handshake.h"
#include "protocol_a/protocol_a.h"
#include "protocol_a/received_file.h"

using namespace zek::log;
using namespace zek::sender;
using namespace zek::platform;

namespace zek::protocol_a {

namespace {

const char* const defaultReceiveName = "ZEK99GET.DAT";
constexpr int32_t bytesPerKilobyte = 1000;

// State that lasts the whole run: the retry counter spans every file.
struct ReceiveRun {
    RecordLine& records;
    ProgressMeter& meter;
    int badRecords = 0;
    bool failed = false;  // a file did not come whole
};

// The names to receive into: those of the command line, else the default.
const char* const* listReceiveNames(const char* const* names)
{
    static const char* const defaultNames[] = {defaultReceiveName, nullptr};
    if (!names[0]) {
        echoLog("\nNO_FILE_NAME MODE SET FILENAME %s\n", defaultReceiveName);
        return defaultNames;
    }
    for (int i = 0; names[i]; ++i)
        echoLog("FILE%d=%s ", i, names[i]);
    echoLog("\n");
    return names;
}

// false once the file has been given up after too many bad records, or the
// run is being stopped.
bool bearBadRecord(ReceiveRun& run)
{
    if (stopRequested())
        return false;
    echoLog("GET BAD DATA RESET COM\n");
    sleepMs(retryPauseMs);
    run.records.send(RTY);
    echoLog("RTY>");
    return ++run.badRecords <= maxBadRecords;
}

// false when the payload could not be stored (a full disk, say): the file is
// then given up rather than reported as received.
bool storeData(ReceiveRun& run, ReceivedFile& file, const ReceivedRecord& record, const char* name)
{
    if (run.records.monitor())
        consoleOnly("DAT<");
    if (!file.store(run.records, run.meter, record, name))
        return false;
    if (run.records.monitor())
        consoleOnly("GTD>");
    return true;
}

// Stores DAT payloads until the controller ends the file or it is given up.
// true when the file came whole, up to its EOD.
bool receiveInto(ReceiveRun& run, const char* name, ReceivedFile& file)
{
    for (;;) {
        ReceivedRecord record;
        run.records.receive(record);
        if (record.status != RecordStatus::Good || record.type == UNKNOWN) {
            if (!bearBadRecord(run))
                return false;
            continue;
        }
        run.badRecords = 0;
        run.records.decodePayload(record.payload, record.payloadLength);
        switch (record.type) {
        case DAT:
            if (storeData(run, file, record, name))
                break;
            run.records.send(RST);
            return false;
        case EOD: {
            echoLog("\nGET FILE END EOD<SYN>");
            run.records.send(SYN);
            ReceivedRecord disregarded;
            run.records.receive(disregarded);
            return true;
        }
        case SYN:
            echoLog("GET SYN<SYN>");
            run.records.send(SYN);
            return false;
        default:
            echoLog("GET UNK<SYN>");
            return false;
        }
    }
}

// Asks for the file and stores it. false when the link is lost.
bool requestFile(ReceiveRun& run, const char* name, ReceivedFile& file)
{
    if (!clientHandshake(run.records))
        return false;
    run.records.send(GTD, name);
    echoLog("FILE NAME %s GTD>\n", name);
    if (!receiveInto(run, name, file))
        run.failed = true;
    return !run.records.link().lineGone();
}

// false when the run stops there: the file cannot be created, or the link
// is lost (what came so far stays in the file).
bool receiveFile(ReceiveRun& run, const char* name, bool fanucMode)
{
    echoLog(fanucMode ? " zek ---> *kirpa (get data) FANUC_MODE\n" : " zek ---> *kirpa (get data) OKUMA_MODE\n");
    ReceivedFile file(name);
    if (!file.isOpen()) {
        echoLog(" cant open write file %s\n", name);
        run.failed = true;
        return false;
    }
    echoLog(" open write file %s %s\n", name, timeStamp());
    run.meter.resetFile();
    bool linkStands = requestFile(run, name, file);
    if (!file.close(name) || !linkStands)
        run.failed = true;
    int32_t size = fileSize(name);
    echoLog(" close file %s %ldByte %s\n", name, long(size), timeStamp());
    return linkStands;
}

}  // namespace

TransferOutcome protocolAReceive(RecordLine& records, ProgressMeter& meter, const ProtocolASettings& settings)
{
    meter.reset();
    const char* const* names = listReceiveNames(settings.fileNames);
    ReceiveRun run{records, meter};
    for (int i = 0; names[i]; ++i)
        if (!receiveFile(run, names[i], settings.fanucMode))
            return TransferOutcome::Failed;
    echoLog("TOTAL RECV FILE %ldKB\n", long(meter.bytesSent() / bytesPerKilobyte));
    records.send(SYN);
    return run.failed ? TransferOutcome::Failed : TransferOutcome::Completed;
}

}  // namespace zek::protocol_a
