#include "protocol_a/records.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "log/log.h"
#include "platform/clock.h"
#include "tape/tape_code.h"

using namespace zek::log;
using namespace zek::tape;
using namespace zek::link;
using namespace zek::platform;

namespace zek::protocol_a {

namespace {

constexpr int lettersOffset = 2;
constexpr int payloadOffset = 5;
constexpr int letterCount = 3;
constexpr unsigned char unreadByte = 0xFF;
constexpr int satKeptPrefix = 4;  // SAT and SET keep the peer's first characters
constexpr int parameterEnd = satKeptPrefix + 36;

struct RecordLetters {
    int code;
    const char* letters;
    bool recognised;  // AAL, SET and ARS only ever go out
};

const RecordLetters recordTypes[] = {
    {SYN, "SYN", true}, {RDY, "RDY", true}, {RST, "RST", true}, {ALM, "ALM", true},  {AAL, "AAL", false},
    {SAT, "SAT", true}, {GTD, "GTD", true}, {RTY, "RTY", true}, {DAT, "DAT", true},  {SET, "SET", false},
    {EOD, "EOD", true}, {WAT, "WAT", true}, {RTD, "RTD", true}, {ARS, "ARS", false},
};

const char* lettersOf(int code)
{
    for (const RecordLetters& type : recordTypes)
        if (type.code == code)
            return type.letters;
    return nullptr;
}

int typeOfLetters(const unsigned char* letters)
{
    for (const RecordLetters& type : recordTypes)
        if (type.recognised && std::memcmp(letters, type.letters, letterCount) == 0)
            return type.code;
    return UNKNOWN;
}

bool carriesPayload(int type)
{
    return type == SAT || type == GTD || type == DAT || type == RTD;
}

// Letters, ETX and checksum around a payload already placed at payloadOffset.
// Returns the length of the whole record.
int frameRecord(unsigned char* record, const char* letters, int payloadLength)
{
    record[0] = 0;
    record[1] = 0;
    std::memcpy(record + lettersOffset, letters, letterCount);
    record[payloadOffset + payloadLength] = etx;
    recordChecksum(record);
    return payloadOffset + payloadLength + 1;
}

int copyText(unsigned char* payload, const char* text)
{
    if (!text)
        return 0;
    int length = 0;
    while (length < maxPayloadLength && text[length] != '\0') {
        payload[length] = static_cast<unsigned char>(text[length]);
        ++length;
    }
    return length;
}

// The peer's SAT text with the parameter block laid over positions 4 to 39.
int copySatText(const char* satPayload, unsigned char* payload)
{
    int length = static_cast<int>(std::strlen(satPayload));
    for (int i = 0; i < length; ++i) {
        bool parameter = i >= satKeptPrefix && i < parameterEnd;
        payload[i] = static_cast<unsigned char>(parameter ? parameterBlockText[i - satKeptPrefix] : satPayload[i]);
    }
    return length;
}

int payloadFor(int code, const char* text, unsigned char* payload, const RecordFormat& format)
{
    switch (code) {
    case GTD:
        return format.fanucMode ? 0 : copyText(payload, text);
    case DAT:
    case RTD:
        return copyText(payload, text);
    case RTY:
        payload[0] = '1';
        return 1;
    case SAT:
    case SET:
        return copySatText(format.satPayload, payload);
    default:
        return 0;
    }
}

int extractPayload(const unsigned char* record, char* payload)
{
    int length = 0;
    for (int offset = payloadOffset; offset < recordSize && record[offset] != etx; ++offset)
        payload[length++] = static_cast<char>(record[offset]);
    payload[length] = '\0';
    return length;
}

}  // namespace

bool recordChecksum(unsigned char* record)
{
    unsigned sum = 0;
    for (int offset = lettersOffset; offset < recordSize; ++offset) {
        sum = (sum + record[offset]) & 0xFF;
        if (record[offset] == etx)
            break;
    }
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", sum);
    bool matched = record[0] == digits[0] && record[1] == digits[1];
    record[0] = static_cast<unsigned char>(digits[0]);
    record[1] = static_cast<unsigned char>(digits[1]);
    return matched;
}

void decodeRecord(unsigned char* record, bool complete, ReceivedRecord& decoded)
{
    unsigned char* letters = record + lettersOffset;
    decoded.type = typeOfLetters(letters);
    if (decoded.type == UNKNOWN)
        std::memset(letters, '-', letterCount);
    decoded.payloadLength = carriesPayload(decoded.type) ? extractPayload(record, decoded.payload) : 0;
    decoded.payload[decoded.payloadLength] = '\0';
    bool checksumMatched = recordChecksum(record);
    decoded.status = complete && checksumMatched ? RecordStatus::Good : RecordStatus::Bad;
}

int buildRecord(int code, const char* text, unsigned char* record, const RecordFormat& format)
{
    if (!lettersOf(code))
        code = RTY;
    int payloadLength = payloadFor(code, text, record + payloadOffset, format);
    return frameRecord(record, lettersOf(code), payloadLength);
}

int buildDataRecord(const char* data, int length, unsigned char* record, int* lineCount)
{
    if (length > maxPayloadLength)
        length = maxPayloadLength;
    if (length < 0)
        length = 0;
    *lineCount = 0;
    for (int i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(data[i]);
        record[payloadOffset + i] = isoEncode(c);
        if (c == '\n')
            ++*lineCount;
    }
    return frameRecord(record, lettersOf(DAT), length);
}

void RecordLine::storeSatPayload(const char* text)
{
    std::snprintf(satPayload_, sizeof satPayload_, "%s", text);
}

// A silent link and a closed one cost the same time, so no caller spins.
int RecordLine::readFirstByte()
{
    auto start = std::chrono::steady_clock::now();
    int value = link_.readByte(recordWaitMs);
    if (value != noByte)
        return value;
    auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    long rest = recordWaitMs - static_cast<long>(waited.count());
    if (rest > 0)
        sleepMs(static_cast<int>(rest));
    return noByte;
}

// Reads from offset 1 until ETX or the buffer is full. false when a byte did
// not come in time or no ETX came at all: the record is then a bad one.
bool RecordLine::readRest(unsigned char* record)
{
    for (int offset = 1; offset < recordSize; ++offset) {
        int value = link_.readByte(recordByteWaitMs);
        if (value == noByte) {
            if (offset >= payloadOffset)
                record[offset] = etx;
            return false;
        }
        record[offset] = static_cast<unsigned char>(value);
        if (record[offset] == etx)
            return true;
    }
    return false;
}

void RecordLine::receive(ReceivedRecord& record)
{
    int first = readFirstByte();
    if (first == noByte || first == unreadByte) {
        record.type = UNKNOWN;
        record.status = RecordStatus::Missing;
        return;
    }
    unsigned char raw[recordSize];
    std::memset(raw + 1, unreadByte, letterCount + 1);
    raw[payloadOffset] = etx;
    raw[0] = static_cast<unsigned char>(first);
    bool complete = readRest(raw);
    decodeRecord(raw, complete, record);
    if (settings_.monitor)
        consoleOnly("%c%c%c<", raw[2], raw[3], raw[4]);
}

void RecordLine::decodePayload(char* payload, int length) const
{
    for (int i = 0; i < length; ++i)
        payload[i] = static_cast<char>(isoDecode(static_cast<unsigned char>(payload[i])));
    if (settings_.monitor && length > 0)
        echoMonitor(payload, static_cast<std::size_t>(length));
}

bool RecordLine::send(int code, const char* text)
{
    if (!lettersOf(code))
        printOut("SEND COM NOT DEFINE\n");
    unsigned char record[recordSize];
    int length = buildRecord(code, text, record, RecordFormat{settings_.fanucMode, satPayload_});
    return link_.write(record, length);
}

bool RecordLine::sendData(const char* data, int length, int* lineCount)
{
    if (settings_.monitor) {
        consoleOnly("DAT>");
        echoMonitor(data, static_cast<std::size_t>(std::clamp(length, 0, maxPayloadLength)));
    }
    unsigned char record[recordSize];
    int recordLength = buildDataRecord(data, length, record, lineCount);
    return link_.write(record, recordLength);
}

}  // namespace zek::protocol_a
