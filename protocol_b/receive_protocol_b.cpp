#include <cstdio>
#include <optional>

#include "log/log.h"
#include "platform/text_file.h"
#include "protocol_b/tape_session.h"
#include "protocol_b/tape_silence.h"

using namespace zek::link;
using namespace zek::log;
using namespace zek::tape;
using namespace zek::platform;

namespace zek::protocol_b {

namespace {

constexpr int receiveTimeoutMs = 1000;
constexpr int tapeFeedCode = 0xFF;  // ISO DEL: blank tape, no data

// One tape on its way into its file.
struct Reception {
    TapeSession& session;
    std::FILE* file;
    const char* fileName;
    TapeSilence silence;
};

ReceiveEnd writeFailed(const Reception& reception)
{
    echoLog("file write2 error:%s\n", reception.fileName);
    return ReceiveEnd::WriteFailed;
}

// Waits for the start code when the tape's code is still open. None when
// the line failed first.
StartCode awaitStartCode(Reception& reception)
{
    TapeSession& session = reception.session;
    while (session.code == TapeCode::IsoDefault) {
        StartCode start = takeStartCode(session, session.link.readByte(receiveTimeoutMs));
        if (start == StartCode::NoLink)
            return StartCode::NoLink;
        if (start == StartCode::Taken)
            reception.silence.restart();
        if (!checkLine(session.link))
            return StartCode::None;
    }
    return StartCode::Taken;
}

// The start code is stored as "%" whatever code it came in.
bool storeStartCode(Reception& reception)
{
    reception.session.meter.showKilobytes(1);
    if (reception.session.settings.tape.monitor)
        echoMonitor("%", 1);
    if (writeTextByte(reception.file, asciiPercent))
        return true;
    echoLogText("file write1 error \x81\x46");
    echoLog("%s\n", reception.fileName);
    return false;
}

// A quiet line is a moment to put what came so far into the file, so that
// an operator who ends a -p receive with Ctrl-C loses nothing. A failed
// line, or a started tape silent for the --idle-end time, ends the tape.
std::optional<ReceiveEnd> quietLine(Reception& reception)
{
    std::fflush(reception.file);
    if (!checkLine(reception.session.link))
        return ReceiveEnd::LineLost;
    if (!reception.silence.tooLong())
        return std::nullopt;
    echoLog("\n TAPE STOPPED !!\n");
    return ReceiveEnd::IdleEnd;
}

// Stores one byte; the stop code, a failed write or a failed line ends the tape.
std::optional<ReceiveEnd> storeByte(Reception& reception, int lineByte)
{
    TapeSession& session = reception.session;
    auto byte = decodeLineByte(session.code, static_cast<unsigned char>(lineByte));
    if (session.settings.tape.monitor)
        echoMonitor(reinterpret_cast<const char*>(&byte), 1);
    bool stopped = !session.settings.noStopCode && byte == asciiPercent;
    if (stopped)
        echoLog("\nSTOP CODE DEFINE\n");
    session.meter.showKilobytes(1);
    if (!writeTextByte(reception.file, byte))
        return writeFailed(reception);
    if (stopped)
        return ReceiveEnd::Complete;
    if (!checkLine(session.link))
        return ReceiveEnd::LineLost;
    return std::nullopt;
}

// What the next byte, or the quiet, comes to; nothing while the tape goes on.
std::optional<ReceiveEnd> receiveNext(Reception& reception)
{
    int lineByte = reception.session.link.readByte(receiveTimeoutMs);
    // DEL too: a running reader shows the tape goes on.
    if (lineByte != noByte)
        reception.silence.restart();
    if (lineByte == noByte || lineByte == tapeFeedCode)
        return quietLine(reception);
    return storeByte(reception, lineByte);
}

// Stores the tape up to its end. A tape without stop code (-p) ends only
// when the line or its silence ends it: that is its end, not a cut.
ReceiveEnd storeTapeData(Reception& reception)
{
    std::optional<ReceiveEnd> end;
    while (!end)
        end = receiveNext(reception);
    bool cutByLine = *end == ReceiveEnd::LineLost || *end == ReceiveEnd::IdleEnd;
    return cutByLine && reception.session.settings.noStopCode ? ReceiveEnd::Complete : *end;
}

// Buffered bytes that cannot reach the disk at the close are a failed write
// too; the end line must not pass them off as stored.
ReceiveEnd endReceive(Reception& reception, ReceiveEnd end)
{
    if (std::fclose(reception.file) != 0)
        end = writeFailed(reception);
    echoLog("RECV(B) END %s %ldByte %s\n", reception.fileName, long(reception.session.meter.bytesSent()), timeStamp());
    return end;
}

// Closes the file without the end line.
ReceiveEnd abandonReceive(Reception& reception, ReceiveEnd end)
{
    std::fclose(reception.file);
    return end;
}

ReceiveEnd receiveFromStartCode(Reception& reception)
{
    StartCode start = awaitStartCode(reception);
    if (start == StartCode::NoLink)
        return abandonReceive(reception, ReceiveEnd::NoLink);
    if (start == StartCode::None)
        return endReceive(reception, ReceiveEnd::LineLost);
    if (!storeStartCode(reception))
        return abandonReceive(reception, ReceiveEnd::WriteFailed);
    return endReceive(reception, storeTapeData(reception));
}

}  // namespace

ReceiveEnd receiveProtocolB(TapeSession& session, const char* fileName, bool startCodeTaken)
{
    session.meter.reset();
    std::FILE* file = openTextWriter(fileName);
    if (file == nullptr) {
        echoLog("Write file open error : %s\n", fileName);
        return ReceiveEnd::WriteFailed;
    }
    echoLog("RECV(B) START %s %s\n", fileName, timeStamp());
    Reception reception{session, file, fileName, TapeSilence(session.settings.idleEndSeconds)};
    if (startCodeTaken)
        reception.silence.restart();
    if (session.settings.noStopCode)
        return endReceive(reception, storeTapeData(reception));
    return receiveFromStartCode(reception);
}

}  // namespace zek::protocol_b
