#include <cstring>
#include <memory>
#include <string>

#include "log/log.h"
#include "platform/clock.h"
#include "protocol_b/tape_session.h"
#include "sender/program_send.h"

using namespace zek::link;
using namespace zek::log;
using namespace zek::sender;
using namespace zek::platform;

namespace zek::protocol_b {

namespace {

constexpr int maxTransferName = 127;
constexpr int cycleEndPauseMs = 1000;  // lets the controller settle before the next request

// The one file of the run: every send reads it, every receive replaces it.
// false when the name given cannot be held; the run then moves nothing.
bool chooseTransferName(const char* given, char* transferName)
{
    if (given == nullptr) {
        std::strcpy(transferName, defaultProgramName);
        echoLog("** PROT(B) NEED FILE NAME = %s **\n", transferName);
        return true;
    }
    if (std::strlen(given) > maxTransferName) {
        echoLog("** PROT(B) FILE NAME TOO LONG %s **\n", given);
        return false;
    }
    std::strcpy(transferName, given);
    echoLog("** PROT(B) FILE NAME = %s **\n", transferName);
    return true;
}

bool returnToWaiting(TapeSession& session)
{
    session.mode = TransferMode::Serve;
    LinkConfig config = session.link.config();
    config.sending = false;
    config.flow = FlowMode::Hardware;
    return session.link.reopen(config);
}

library::Received asReceived(ReceiveEnd end)
{
    if (end == ReceiveEnd::Complete)
        return library::Received::Whole;
    return end == ReceiveEnd::WriteFailed ? library::Received::NotWritten : library::Received::Cut;
}

// A tape replaces the run's file; in a library it is received apart and
// filed when its receive has ended, complete or not. false when the link
// could not be opened anew.
bool receiveTape(TapeSession& session, const char* transferName, bool startCodeTaken)
{
    library::Library* library = session.library;
    std::string receiving = library ? library->startTape() : transferName;
    ReceiveEnd end = receiveProtocolB(session, receiving.c_str(), startCodeTaken);
    if (end != ReceiveEnd::Complete)
        session.failed = true;
    if (library)
        library->fileTape(receiving, asReceived(end));
    return end != ReceiveEnd::NoLink;
}

// The run's file, unless a request punched at the machine chose another.
std::string programToSend(TapeSession& session, const char* transferName)
{
    std::string requested = session.library ? session.library->takeRequest() : "";
    return requested.empty() ? transferName : requested;
}

// One request of the controller, or the one transfer of a plain run. A
// request to receive is the start code, which the wait has taken.
bool runCycle(TapeSession& session, const char* transferName)
{
    const bool request = session.mode == TransferMode::Serve;
    if (request && !awaitServerRequest(session, transferName))
        return false;
    if (session.mode == TransferMode::Receive) {
        if (!receiveTape(session, transferName, request))
            return false;
    } else {
        sendProtocolB(session, programToSend(session, transferName).c_str());
    }
    session.link.drain();
    sleepMs(cycleEndPauseMs);
    return true;
}

}  // namespace

TransferOutcome runProtocolB(Link& link, ProgressMeter& meter, const ProtocolBSettings& settings)
{
    char transferName[maxTransferName + 1];
    if (!chooseTransferName(settings.fileName, transferName))
        return TransferOutcome::Failed;
    TapeSession session{link, meter, settings, settings.mode, settings.tape.code};
    std::unique_ptr<library::Library> library = settings.library ? library::openLibrary() : nullptr;
    session.library = library.get();
    for (;;) {
        if (!runCycle(session, transferName))
            return TransferOutcome::NoLink;
        if (!settings.server)
            return session.failed ? TransferOutcome::Failed : TransferOutcome::Completed;
        if (!returnToWaiting(session))
            return TransferOutcome::NoLink;
    }
}

}  // namespace zek::protocol_b
