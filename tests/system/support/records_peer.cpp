#include "support/records_peer.h"

#include <chrono>
#include <cstdio>

#include "support/controller.h"

namespace {

constexpr char etx = '\x03';

using Clock = std::chrono::steady_clock;

std::string checksumOf(const std::string& body)
{
    unsigned sum = 0;
    for (unsigned char c : body)
        sum = (sum + c) & 0xFF;
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", sum);
    return digits;
}

PeerRecord parse(const std::string& raw)
{
    PeerRecord record;
    record.received = true;
    record.raw = raw;
    if (raw.size() < 6)
        return record;
    std::string body = raw.substr(2);
    record.checksumGood = raw.substr(0, 2) == checksumOf(body);
    record.letters = raw.substr(2, 3);
    record.payload = raw.substr(5, raw.size() - 6);
    return record;
}

}  // namespace

std::string wireRecord(const std::string& letters, const std::string& payload)
{
    std::string body = letters + payload + etx;
    return checksumOf(body) + body;
}

std::string badChecksumRecord(const std::string& letters, const std::string& payload)
{
    std::string record = wireRecord(letters, payload);
    record[0] = record[0] == '0' ? '1' : '0';
    return record;
}

bool RecordPeer::send(const std::string& letters, const std::string& payload)
{
    return writeAll(fd_, wireRecord(letters, payload));
}

bool RecordPeer::sendRaw(const std::string& bytes)
{
    return writeAll(fd_, bytes);
}

PeerRecord RecordPeer::read(int timeoutMs)
{
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        std::size_t end = pending_.find(etx);
        if (end != std::string::npos) {
            std::string raw = pending_.substr(0, end + 1);
            pending_.erase(0, end + 1);
            return parse(raw);
        }
        int left = millisecondsLeft(deadline);
        if (left == 0)
            return PeerRecord{};
        pending_ += readBytes(fd_, 1, left);
    }
}

PeerRecord RecordPeer::readUntilType(const std::string& letters, int timeoutMs)
{
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        PeerRecord record = read(millisecondsLeft(deadline));
        if (!record.received || record.letters == letters)
            return record;
    }
}

bool answerHandshake(RecordPeer& peer, int timeoutMs)
{
    for (const char* letters : {"SYN", "SYN", "RDY"}) {
        PeerRecord record = peer.read(timeoutMs);
        if (record.letters != letters || !peer.send(letters))
            return false;
    }
    return true;
}
