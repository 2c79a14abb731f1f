#include "record_stream.h"

#include <algorithm>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <vector>

#include "loopback.h"
#include "protocol_a/records.h"
#include "tape/tape_code.h"

using namespace zek::protocol_a;
using namespace zek::tape;

namespace {

constexpr std::size_t checksumLength = 2;
constexpr std::size_t lettersLength = 3;
constexpr std::size_t headerLength = checksumLength + lettersLength;
constexpr int receiveChunk = 1 << 16;

bool receiveMore(RecordStream& stream, int timeoutMs)
{
    pollfd waiting{stream.fd, POLLIN, 0};
    if (poll(&waiting, 1, timeoutMs) <= 0)
        return false;
    char buffer[receiveChunk];
    ssize_t count = recv(stream.fd, buffer, sizeof buffer, 0);
    if (count <= 0)
        return false;
    stream.pending.append(buffer, std::size_t(count));
    return true;
}

bool checksumMatches(const std::string& raw)
{
    std::vector<unsigned char> record(recordSize, 0);
    std::memcpy(record.data(), raw.data(), std::min(raw.size(), record.size()));
    return recordChecksum(record.data());
}

}  // namespace

bool sendBenchRecord(RecordStream& stream, const char* letters, const std::string& payload)
{
    std::vector<unsigned char> record(recordSize, 0);
    std::size_t length = std::min(payload.size(), std::size_t(maxPayloadLength));
    std::memcpy(record.data() + checksumLength, letters, lettersLength);
    std::memcpy(record.data() + headerLength, payload.data(), length);
    record[headerLength + length] = etx;
    recordChecksum(record.data());
    return sendAll(stream.fd, reinterpret_cast<const char*>(record.data()), headerLength + length + 1);
}

bool readBenchRecord(RecordStream& stream, BenchRecord& record, int timeoutMs)
{
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::size_t end;
    while ((end = stream.pending.find(char(etx))) == std::string::npos) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || !receiveMore(stream, int(left.count())))
            return false;
    }
    std::string raw = stream.pending.substr(0, end + 1);
    stream.pending.erase(0, end + 1);
    record.letters = raw.size() > headerLength ? raw.substr(checksumLength, lettersLength) : "";
    record.payload = raw.size() > headerLength + 1 ? raw.substr(headerLength, end - headerLength) : "";
    record.checksumGood = checksumMatches(raw);
    return true;
}

std::string withIsoParity(const char* bytes, std::size_t length)
{
    std::string coded(length, '\0');
    for (std::size_t i = 0; i < length; ++i)
        coded[i] = char(isoEncode(static_cast<unsigned char>(bytes[i])));
    return coded;
}
