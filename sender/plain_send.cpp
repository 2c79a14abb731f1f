#include "sender/plain_send.h"

#include "log/log.h"
#include "link/channel.h"
#include "link/progress.h"
#include "link/text_file.h"
#include "sender/error_tape.h"
#include "sender/file_progress.h"
#include "sender/text_delivery.h"

namespace {

constexpr std::size_t pieceLength = 512;

int sendPieces(TextReader& reader)
{
    char piece[pieceLength + 1];
    for (;;) {
        std::size_t length = readTextBlock(reader, piece, pieceLength);
        if (length == 0)
            return flushOutput();   // the end line reports what is on the line
        piece[length] = '\0';
        if (deliverPiece(piece, length) != 0)
            return -1;
    }
}

}  // namespace

int plainSend(const char* name)
{
    resetProgress();
    TextReader reader;
    if (!openTextReader(reader, name)) {
        echoLog("NO_SUB MODE NO FILE %s %s\n", name, timeStamp());
        sendErrorTape(notFoundProblem, name);
        return -1;
    }
    long size = startFileProgress(name);
    echoLog("FILE %s : %ldByte\n", name, size);
    int result = sendPieces(reader);
    closeTextReader(reader);
    return result;
}
