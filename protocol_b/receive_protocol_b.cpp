#include "protocol_b/protocol_b.h"

#include <cstdio>

#include "log/log.h"
#include "app/run_end.h"
#include "app/run_settings.h"
#include "link/channel.h"
#include "link/progress.h"
#include "link/text_file.h"
#include "protocol_b/start_code.h"
#include "tape/tape_code.h"

namespace {

constexpr int receiveTimeoutMs = 1000;

// Waits for the start code when the tape's code is still open. false when
// the link failed first.
bool awaitStartCode()
{
    while (runSettings.codeMode == IsoDefault) {
        takeStartCode(readByte(receiveTimeoutMs));
        if (checkLine() != 0)
            return false;
    }
    return true;
}

// The start code is stored as "%" whatever code it came in.
bool storeStartCode(std::FILE* file)
{
    showKilobyteProgress(1);
    if (runSettings.monitor)
        std::fputc(asciiPercent, stdout);
    return writeTextByte(file, asciiPercent);
}

// The next byte of the tape, or noByte when the link failed first. A quiet
// line is a moment to put what came so far into the file, so that an
// operator who ends a -p receive with Ctrl-C loses nothing.
int nextTapeByte(std::FILE* file)
{
    for (;;) {
        int lineByte = readByte(receiveTimeoutMs);
        // Nothing came, or a 0xFF (ISO DEL, tape feed): no data either way.
        if ((lineByte & 0xFF) != 0xFF)
            return lineByte;
        std::fflush(file);
        if (checkLine() != 0)
            return noByte;
    }
}

// A tape without stop code (-p) ends only when the link does: that is its
// end, not a failure.
void endWithoutStopCode()
{
    if (!runSettings.noStopCode)
        noteTransferFailed();
}

// Stores the tape up to its stop code, a link failure or a failed write.
void storeTapeData(std::FILE* file, const char* fileName)
{
    for (;;) {
        int lineByte = nextTapeByte(file);
        if (lineByte == noByte) {
            endWithoutStopCode();
            return;
        }
        auto byte = decodeLineByte(runSettings.codeMode, static_cast<unsigned char>(lineByte));
        if (runSettings.monitor)
            std::fputc(byte, stdout);
        bool stopped = !runSettings.noStopCode && byte == asciiPercent;
        if (stopped)
            echoLog("\nSTOP CODE DEFINE\n");
        showKilobyteProgress(1);
        if (!writeTextByte(file, byte)) {
            echoLog("file write2 error:%s\n", fileName);
            noteTransferFailed();
            return;
        }
        if (stopped)
            return;
        if (checkLine() != 0) {
            endWithoutStopCode();
            return;
        }
    }
}

// Buffered bytes that cannot reach the disk at the close are a failed write
// too; the end line must not pass them off as stored.
int endReceive(std::FILE* file, const char* fileName)
{
    if (std::fclose(file) != 0) {
        echoLog("file write2 error:%s\n", fileName);
        noteTransferFailed();
    }
    echoLog("RECV(B) END %s %ldByte %s\n", fileName, long(runSettings.bytesSent), timeStamp());
    return 0;
}

}  // namespace

int receiveProtocolB(const char* fileName)
{
    resetProgress();
    std::FILE* file = openTextWriter(fileName);
    if (file == nullptr) {
        echoLog("Write file open error : %s\n", fileName);
        noteTransferFailed();
        return -1;
    }
    echoLog("RECV(B) START %s %s\n", fileName, timeStamp());
    if (!runSettings.noStopCode) {
        if (!awaitStartCode()) {
            noteTransferFailed();
            return endReceive(file, fileName);
        }
        if (!storeStartCode(file)) {
            echoLogText("file write1 error \x81\x46");
            echoLog("%s\n", fileName);
            std::fclose(file);
            noteTransferFailed();
            return -1;
        }
    }
    storeTapeData(file, fileName);
    return endReceive(file, fileName);
}
