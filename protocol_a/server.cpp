#include <cstring>
#include <memory>
#include <string>

#include "library/file_name_check.h"
#include "library/library.h"
#include "log/log.h"
#include "log/quiet_idle.h"
#include "platform/clock.h"
#include "platform/stop_signal.h"
#include "protocol_a/data_block_sink.h"
#include "protocol_a/protocol_a.h"
#include "protocol_a/received_file.h"
#include "sender/program_send.h"

using namespace zek::link;
using namespace zek::log;
using namespace zek::sender;
using namespace zek::platform;

namespace zek::protocol_a {

namespace {

constexpr int reopenPauseMs = 200;
constexpr int controllerWaitMs = 5000;  // what a WAT asks for

struct Server {
    RecordLine& records;
    ProgressMeter& meter;
    const ProtocolASettings& settings;
    library::Library* library = nullptr;  // --library: where received files go
    bool noLink = false;                  // the link could not be opened anew
};

// What the server answers a request with, or that the run must end.
struct Answer {
    int code;
    bool endsRun;
};

// Clears what the line still holds and opens it anew. A TCP connection is
// kept while the controller holds it: an idle controller is no noisy line.
bool restartLink(Link& link, int pauseMs)
{
    link.purgeInput();
    sleepMs(pauseMs);
    return link.reopen(link.config());
}

// An idle controller brings this every second or so: --quiet-idle counts it.
void reportSynRetry()
{
    IdleRepeat repeat(IdleLine::SynRetry);
    echoLog("ERR-RETRY SYN SEND %s\n", timeStamp());
}

// The wait between transfers. A controller that calls anew takes the place
// of the connection it had, and starts afresh: what went wrong on the old
// one is not answered on the new one.
bool receiveGoodRecord(Server& server, ReceivedRecord& record)
{
    Link& link = server.records.link();
    link.answerNewCaller();
    server.records.receive(record);
    while (record.status != RecordStatus::Good) {
        if (stopRequested())
            return false;
        if (!link.answerNewCaller()) {
            server.records.send(SYN);
            reportSynRetry();
            if (!restartLink(link, reopenPauseMs))
                return false;
        }
        server.records.receive(record);
    }
    return true;
}

// The name a request carries, else the command line's first, else the fallback.
const char* requestedName(const Server& server, const char* payload)
{
    if (payload[0] != '\0')
        return payload;
    const char* first = server.settings.fileNames[0];
    return first ? first : defaultProgramName;
}

// A name the controller gives stays in the working directory; a file it
// sends to a library leaves the library's own files alone too.
bool refuseName(const char* name, bool allowed)
{
    if (allowed)
        return false;
    echoLog("ILLEGAL FILE NAME %s %s\n", name, timeStamp());
    return true;
}

// The END line follows a failed send too, unless nothing more may go out.
Answer sendRequestedProgram(Server& server, const char* payload)
{
    const char* name = requestedName(server, payload);
    if (refuseName(name, library::isNameInsideWorkDir(name)))
        return {RST, false};
    ProgramSend send{'A', server.settings.expandCalls, server.settings.send};
    DataBlockSink sink(server.records, server.meter);
    bool sent = sendProgram(send, name, sink, server.meter);
    if (sink.runMustEnd())
        return {RST, true};
    reportSendEnd(send, name, server.meter);
    return {sent ? EOD : RST, false};
}

bool retryRead(Server& server)
{
    sleepMs(retryPauseMs);
    server.records.send(RTY);
    echoLog("READ RETRY %s\n", timeStamp());
    server.noLink = !restartLink(server.records.link(), retryPauseMs);
    return !server.noLink;
}

void reportReceiveEnd(const Server& server, const char* name)
{
    echoLog("\rRECV(A) END %s %ldByte %s\n", name, long(server.meter.bytesSent()), timeStamp());
}

// Receives DAT records into the open file until the controller ends it. A
// stop keeps what came, and ends it with its END line.
bool receiveData(Server& server, ReceivedFile& file, const char* name)
{
    for (;;) {
        ReceivedRecord record;
        server.records.receive(record);
        if (record.status != RecordStatus::Good && server.records.link().lineGone()) {
            if (stopRequested())
                reportReceiveEnd(server, name);
            return false;
        }
        if (record.status != RecordStatus::Good) {
            if (!retryRead(server))
                return false;
            continue;
        }
        switch (record.type) {
        case WAT:
            echoLog(" READ WAT SLEEP %s\n", timeStamp());
            sleepMs(controllerWaitMs);
            server.records.send(GTD);
            break;
        case DAT:
            server.records.decodePayload(record.payload, record.payloadLength);
            if (!file.store(server.records, server.meter, record, name))
                return false;
            break;
        case EOD:
            reportReceiveEnd(server, name);
            return true;
        default:
            echoLog("RECV(A) RESET %s %ldByte %s\n", name, long(server.meter.bytesSent()), timeStamp());
            return false;
        }
    }
}

// Receives into path: whole when the controller ended it with EOD and every
// byte is on the disk.
library::Received receiveInto(Server& server, const char* path, const char* name)
{
    ReceivedFile file(path);
    if (!file.isOpen()) {
        echoLog("Can't Open Write File %s\n", path);
        return library::Received::NotWritten;
    }
    server.meter.resetBytes();
    server.meter.resetFile();
    server.records.send(GTD);
    bool ended = receiveData(server, file, name);
    if (!file.close(name))
        return library::Received::NotWritten;
    return ended ? library::Received::Whole : library::Received::Cut;
}

// Receives a file the controller announced. In a library the file is
// received apart and filed under its name when the exchange has ended,
// whole or not.
bool receiveFile(Server& server, const char* name)
{
    std::string path = server.library ? server.library->startTape() : name;
    echoLog("RECV(A) START %s %s\n", name, timeStamp());
    library::Received received = receiveInto(server, path.c_str(), name);
    if (server.library)
        server.library->fileAs(path, name, received);
    return received == library::Received::Whole;
}

bool receiveAnnouncedFile(Server& server, char* payload)
{
    char* blank = std::strchr(payload, ' ');
    if (blank)
        *blank = '\0';
    const char* name = requestedName(server, payload);
    bool allowed = server.library ? library::isNameForLibrary(name) : library::isNameInsideWorkDir(name);
    return !refuseName(name, allowed) && receiveFile(server, name);
}

Answer answerTo(Server& server, ReceivedRecord& record)
{
    switch (record.type) {
    case RDY:
        return {RDY, false};
    case RST:
        return {ARS, false};
    case ALM:
        return {AAL, false};
    case SAT:
        server.records.storeSatPayload(record.payload);
        return {SET, false};
    case GTD:
        return sendRequestedProgram(server, record.payload);
    case RTD:
        return {receiveAnnouncedFile(server, record.payload) ? SET : RST, false};
    default:
        return {SYN, false};
    }
}

}  // namespace

TransferOutcome protocolAServer(RecordLine& records, ProgressMeter& meter, const ProtocolASettings& settings)
{
    echoLog("** PROT(A) SERVER MODE ** %s\n", timeStamp());
    std::unique_ptr<library::Library> library = settings.library ? library::openLibrary() : nullptr;
    Server server{records, meter, settings, library.get()};
    for (;;) {
        ReceivedRecord record;
        if (!receiveGoodRecord(server, record))
            return TransferOutcome::NoLink;
        Answer answer = answerTo(server, record);
        if (server.noLink)
            return TransferOutcome::NoLink;
        if (answer.endsRun)
            return TransferOutcome::Abandoned;
        records.send(answer.code);
    }
}

}  // namespace zek::protocol_a
