#include "reference_peers.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "instant_controller.h"
#include "loopback.h"
#include "record_stream.h"
#include "tape/tape_code.h"

using namespace zek::tape;

namespace {

constexpr int connectTimeoutMs = 10000;
constexpr int recordTimeoutMs = 10000;
constexpr std::size_t copyChunk = 1 << 16;

int socketSend(int fd, const char* file)
{
    std::FILE* in = std::fopen(file, "rb");
    if (!in)
        return 1;
    std::vector<char> buffer(copyChunk);
    std::size_t count;
    bool sent = true;
    while (sent && (count = std::fread(buffer.data(), 1, buffer.size(), in)) > 0)
        sent = sendAll(fd, buffer.data(), count);
    std::fclose(in);
    return sent ? 0 : 1;
}

int socketRead(int fd, const char* file)
{
    std::FILE* out = std::fopen(file, "wb");
    if (!out)
        return 1;
    std::vector<char> buffer(copyChunk);
    ssize_t count;
    bool written = true;
    while (written && (count = read(fd, buffer.data(), buffer.size())) > 0)
        written = std::fwrite(buffer.data(), 1, std::size_t(count), out) == std::size_t(count);
    return std::fclose(out) == 0 && written ? 0 : 1;
}

bool exchange(RecordStream& stream, const char* letters, const std::string& payload, BenchRecord& answer)
{
    return sendBenchRecord(stream, letters, payload) && readBenchRecord(stream, answer, recordTimeoutMs);
}

// SYN, SYN, RDY, each answered in kind by an instant controller.
bool handshake(RecordStream& stream)
{
    BenchRecord answer;
    return exchange(stream, "SYN", "", answer) && answer.letters == "SYN" && exchange(stream, "SYN", "", answer) &&
           answer.letters == "SYN" && exchange(stream, "RDY", "", answer) && answer.letters == "RDY";
}

int recordsSend(int fd, const char* file)
{
    std::FILE* in = std::fopen(file, "rb");
    RecordStream stream{fd, {}};
    BenchRecord answer;
    if (!in || !handshake(stream) || !exchange(stream, "RTD", file, answer))
        return 1;
    std::vector<char> piece(controllerPieceSize);
    std::size_t count;
    while (answer.letters == "GTD" && (count = std::fread(piece.data(), 1, piece.size(), in)) > 0) {
        if (!exchange(stream, "DAT", std::string(piece.data(), count), answer))
            return 1;
    }
    std::fclose(in);
    bool ended = answer.letters == "GTD" && exchange(stream, "EOD", "", answer);
    return ended && sendBenchRecord(stream, "SYN") ? 0 : 1;
}

void clearParity(std::string& bytes)
{
    for (char& byte : bytes)
        byte = char(isoDecode(static_cast<unsigned char>(byte)));
}

int recordsReceive(int fd, const char* file)
{
    std::FILE* out = std::fopen(file, "wb");
    RecordStream stream{fd, {}};
    BenchRecord answer;
    if (!out || !handshake(stream) || !exchange(stream, "GTD", file, answer))
        return 1;
    bool written = true;
    while (written && answer.letters == "DAT") {
        clearParity(answer.payload);
        written = std::fwrite(answer.payload.data(), 1, answer.payload.size(), out) == answer.payload.size();
        if (!exchange(stream, "GTD", "", answer))
            return 1;
    }
    bool ended = answer.letters == "EOD" && exchange(stream, "SYN", "", answer);
    return std::fclose(out) == 0 && written && ended ? 0 : 1;
}

}  // namespace

int runReferencePeer(const char* kind, const char* port, const char* file)
{
    int fd = connectLoopback(std::atoi(port), connectTimeoutMs);
    if (fd < 0)
        return 1;
    int status = 2;
    if (std::strcmp(kind, "socket-send") == 0)
        status = socketSend(fd, file);
    else if (std::strcmp(kind, "socket-read") == 0)
        status = socketRead(fd, file);
    else if (std::strcmp(kind, "records-send") == 0)
        status = recordsSend(fd, file);
    else if (std::strcmp(kind, "records-receive") == 0)
        status = recordsReceive(fd, file);
    closeSocket(fd);
    return status;
}
