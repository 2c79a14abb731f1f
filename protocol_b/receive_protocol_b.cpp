#include <cstdio>

#include "log/log.h"
#include "platform/text_file.h"
#include "protocol_b/tape_session.h"

using namespace zek::link;
using namespace zek::log;
using namespace zek::tape;
using namespace zek::platform;

namespace zek::protocol_b {

namespace {

constexpr int receiveTimeoutMs = 1000;
constexpr int tapeFeedCode = 0xFF;  // ISO DEL: blank tape, no data

// Waits for the start code when the tape's code is still open. None when
// the line failed first.
StartCode awaitStartCode(TapeSession& session)
{
    while (session.code == TapeCode::IsoDefault) {
        if (takeStartCode(session, session.link.readByte(receiveTimeoutMs)) == StartCode::NoLink)
            return StartCode::NoLink;
        if (!checkLine(session.link))
            return StartCode::None;
    }
    return StartCode::Taken;
}

// The start code is stored as "%" whatever code it came in.
bool storeStartCode(TapeSession& session, std::FILE* file)
{
    session.meter.showKilobytes(1);
    if (session.settings.tape.monitor)
        echoMonitor("%", 1);
    return writeTextByte(file, asciiPercent);
}

// The next byte of the tape, or noByte when the link failed first. A quiet
// line is a moment to put what came so far into the file, so that an
// operator who ends a -p receive with Ctrl-C loses nothing.
int nextTapeByte(Link& link, std::FILE* file)
{
    for (;;) {
        int lineByte = link.readByte(receiveTimeoutMs);
        if (lineByte != noByte && lineByte != tapeFeedCode)
            return lineByte;
        std::fflush(file);
        if (!checkLine(link))
            return noByte;
    }
}

// A tape without stop code (-p) ends only when the link does: that is its
// end, not a failure.
void endWithoutStopCode(TapeSession& session)
{
    if (!session.settings.noStopCode)
        session.failed = true;
}

// Stores the tape up to its stop code, a link failure or a failed write.
void storeTapeData(TapeSession& session, std::FILE* file, const char* fileName)
{
    const bool monitor = session.settings.tape.monitor;
    const bool noStopCode = session.settings.noStopCode;
    for (;;) {
        int lineByte = nextTapeByte(session.link, file);
        if (lineByte == noByte) {
            endWithoutStopCode(session);
            return;
        }
        auto byte = decodeLineByte(session.code, static_cast<unsigned char>(lineByte));
        if (monitor)
            echoMonitor(reinterpret_cast<const char*>(&byte), 1);
        bool stopped = !noStopCode && byte == asciiPercent;
        if (stopped)
            echoLog("\nSTOP CODE DEFINE\n");
        session.meter.showKilobytes(1);
        if (!writeTextByte(file, byte)) {
            echoLog("file write2 error:%s\n", fileName);
            session.failed = true;
            return;
        }
        if (stopped)
            return;
        if (!checkLine(session.link)) {
            endWithoutStopCode(session);
            return;
        }
    }
}

// Buffered bytes that cannot reach the disk at the close are a failed write
// too; the end line must not pass them off as stored.
void endReceive(TapeSession& session, std::FILE* file, const char* fileName)
{
    if (std::fclose(file) != 0) {
        echoLog("file write2 error:%s\n", fileName);
        session.failed = true;
    }
    echoLog("RECV(B) END %s %ldByte %s\n", fileName, long(session.meter.bytesSent()), timeStamp());
}

}  // namespace

bool receiveProtocolB(TapeSession& session, const char* fileName)
{
    session.meter.reset();
    std::FILE* file = openTextWriter(fileName);
    if (file == nullptr) {
        echoLog("Write file open error : %s\n", fileName);
        session.failed = true;
        return true;
    }
    echoLog("RECV(B) START %s %s\n", fileName, timeStamp());
    if (!session.settings.noStopCode) {
        StartCode start = awaitStartCode(session);
        if (start == StartCode::NoLink) {
            std::fclose(file);
            return false;
        }
        if (start == StartCode::None) {
            session.failed = true;
            endReceive(session, file, fileName);
            return true;
        }
        if (!storeStartCode(session, file)) {
            echoLogText("file write1 error \x81\x46");
            echoLog("%s\n", fileName);
            std::fclose(file);
            session.failed = true;
            return true;
        }
    }
    storeTapeData(session, file, fileName);
    endReceive(session, file, fileName);
    return true;
}

}  // namespace zek::protocol_b
