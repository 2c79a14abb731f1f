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
    std::FILE* file;  // nullptr once the disk has not taken the tape
    const char* fileName;
    TapeSilence silence;
    bool started = false;  // the START line is out, the END line follows
    bool writeFailed = false;
};

// The file is closed on what reached the disk. A failed write ends the tape,
// except in a library: there the rest of the tape is still read off the
// line, unstored, so that none of it is taken for the controller's next
// request. false when the tape ends.
bool readOnUnstored(Reception& reception)
{
    reception.writeFailed = true;
    if (reception.file)
        std::fclose(reception.file);
    reception.file = nullptr;
    return reception.session.library != nullptr;
}

bool bearWriteFailure(Reception& reception)
{
    echoLog("file write2 error:%s\n", reception.fileName);
    return readOnUnstored(reception);
}

// false when the tape ends at a failed write.
bool storeInFile(Reception& reception, unsigned char byte)
{
    return !reception.file || writeTextByte(reception.file, byte) || bearWriteFailure(reception);
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
    if (!reception.file || writeTextByte(reception.file, asciiPercent))
        return true;
    echoLogText("file write1 error \x81\x46");
    echoLog("%s\n", reception.fileName);
    return readOnUnstored(reception);
}

// A quiet line is a moment to put what came so far into the file, so that
// an operator who ends a -p receive with Ctrl-C loses nothing. A failed
// line, or a started tape silent for the --idle-end time, ends the tape.
std::optional<ReceiveEnd> quietLine(Reception& reception)
{
    if (reception.file && std::fflush(reception.file) != 0 && !bearWriteFailure(reception))
        return ReceiveEnd::WriteFailed;
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
    if (!storeInFile(reception, byte))
        return ReceiveEnd::WriteFailed;
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

// Closes the file without the END line. Buffered bytes that cannot reach the
// disk at the close are a failed write too; the END line must not pass them
// off as stored. A tape the disk did not take whole is a failed receive,
// however it ended.
ReceiveEnd closeReceive(Reception& reception, ReceiveEnd end)
{
    std::FILE* file = reception.file;
    reception.file = nullptr;
    if (file && std::fclose(file) != 0)
        bearWriteFailure(reception);
    return reception.writeFailed && end != ReceiveEnd::NoLink ? ReceiveEnd::WriteFailed : end;
}

ReceiveEnd endReceive(Reception& reception, ReceiveEnd end)
{
    end = closeReceive(reception, end);
    if (reception.started)
        echoLog("RECV(B) END %s %ldByte %s\n", reception.fileName, long(reception.session.meter.bytesSent()),
                timeStamp());
    return end;
}

// false when the file cannot be made and the receive ends before it began.
bool startReception(Reception& reception)
{
    if (!reception.file) {
        echoLog("Write file open error : %s\n", reception.fileName);
        return readOnUnstored(reception);
    }
    echoLog("RECV(B) START %s %s\n", reception.fileName, timeStamp());
    reception.started = true;
    return true;
}

ReceiveEnd receiveFromStartCode(Reception& reception)
{
    StartCode start = awaitStartCode(reception);
    if (start == StartCode::NoLink)
        return closeReceive(reception, ReceiveEnd::NoLink);
    if (start == StartCode::None)
        return endReceive(reception, ReceiveEnd::LineLost);
    if (!storeStartCode(reception))
        return closeReceive(reception, ReceiveEnd::WriteFailed);
    return endReceive(reception, storeTapeData(reception));
}

}  // namespace

ReceiveEnd receiveProtocolB(TapeSession& session, const char* fileName, bool startCodeTaken)
{
    session.meter.reset();
    Reception reception{session, openTextWriter(fileName), fileName, TapeSilence(session.settings.idleEndSeconds)};
    if (!startReception(reception))
        return ReceiveEnd::WriteFailed;
    if (startCodeTaken)
        reception.silence.restart();
    if (session.settings.noStopCode)
        return endReceive(reception, storeTapeData(reception));
    return receiveFromStartCode(reception);
}

}  // namespace zek::protocol_b
