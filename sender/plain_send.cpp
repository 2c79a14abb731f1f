#include "sender/plain_send.h"

#include "log/log.h"
#include "platform/text_file.h"
#include "sender/error_tape.h"
#include "sender/send_status.h"

using namespace zek::log;
using namespace zek::platform;

namespace zek::sender {

namespace {

constexpr std::size_t pieceLength = 512;

// A file that fails to read before its end is a failed send, not a short one.
bool sendPieces(const char* name, TextReader& reader, TextSink& sink)
{
    char piece[pieceLength + 1];
    for (;;) {
        std::size_t length = readTextBlock(reader, piece, pieceLength);
        if (length == 0 && textReadFailed(reader)) {
            printReadError(name, textReadError(reader));
            return false;
        }
        if (length == 0)
            return sink.flush();  // the end line reports what is on the line
        piece[length] = '\0';
        if (!sink.piece(piece, length))
            return false;
    }
}

}  // namespace

bool plainSend(const char* name, TextSink& sink, ProgressMeter& meter)
{
    meter.reset();
    TextReader reader;
    if (!openTextReader(reader, name)) {
        echoLog("NO_SUB MODE NO FILE %s %s\n", name, timeStamp());
        sendErrorTape(sink, notFoundProblem, name);
        return false;
    }
    long size = meter.startFile(name);
    echoLog("FILE %s : %ldByte\n", name, size);
    bool sent = sendPieces(name, reader, sink);
    closeTextReader(reader);
    return sent;
}

}  // namespace zek::sender
