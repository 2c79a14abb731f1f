// Protocol A records: whatever bytes come down the line, the decoded record
// stays inside its buffer and reports a known type and a sound status; and a
// record that zek's own builders made always decodes to what went in.
#include <cstdint>
#include <cstring>
#include <string>

#include "app/run_settings.h"
#include "fuzz_check.h"
#include "protocol_a/records.h"
#include "tape/tape_code.h"

namespace {

constexpr int payloadOffset = 5;
constexpr unsigned char unreadByte = 0xFF;

const int receivedTypes[] = {SYN, RDY, RST, ALM, SAT, GTD, RTY, DAT, EOD, WAT, RTD, UNKNOWN};
const int builtCodes[] = {SYN, RDY, RST, ALM, AAL, SAT, GTD, RTY, DAT, SET, EOD, WAT, RTD, ARS};
const int sentOnlyCodes[] = {AAL, SET, ARS};

template <std::size_t N>
bool isOneOf(int value, const int (&values)[N])
{
    for (int candidate : values)
        if (candidate == value)
            return true;
    return false;
}

bool carriesPayload(int type)
{
    return type == SAT || type == GTD || type == DAT || type == RTD;
}

bool isUpperHexDigit(unsigned char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

// The buffer as the reader leaves it: preset bytes, then the line's bytes
// from offset 0 up to the ETX; when the line falls silent a missing byte is
// stored as ETX from offset 5 on. true when an ETX ended the record.
bool fillAsRead(unsigned char* record, const uint8_t* line, std::size_t size)
{
    std::memset(record, 0xAB, recordSize);   // whatever the stack held
    std::memset(record + 1, unreadByte, 4);
    record[payloadOffset] = etx;
    for (int offset = 0; offset < recordSize; ++offset) {
        if (static_cast<std::size_t>(offset) == size) {
            if (offset >= payloadOffset)
                record[offset] = etx;
            return false;
        }
        record[offset] = line[offset];
        if (offset > 0 && line[offset] == etx)
            return true;
    }
    return false;
}

struct Decoded {
    int status = 0;
    int type = 0;
    int payloadLength = 0;
    char payload[recordSize];
};

void decode(unsigned char* record, bool complete, Decoded& out)
{
    std::memset(out.payload, 0x5A, sizeof out.payload);
    int result = decodeRecord(record, complete, &out.status, out.payload, &out.payloadLength, &out.type);
    fuzzCheck(result == out.status, "the result is the status");
}

void checkDecodedRecord(const uint8_t* line, std::size_t size)
{
    unsigned char record[recordSize];
    bool complete = fillAsRead(record, line, size);
    Decoded got;
    decode(record, complete, got);

    fuzzCheck(got.status == recordGood || got.status == recordBad, "status is 0 or -1");
    fuzzCheck(complete || got.status == recordBad, "a record cut short is bad");
    fuzzCheck(isOneOf(got.type, receivedTypes), "the type is a recognised one or 99");
    fuzzCheck(got.type != UNKNOWN || std::memcmp(record + 2, "---", 3) == 0,
              "unknown letters read as hyphens");
    fuzzCheck(isUpperHexDigit(record[0]) && isUpperHexDigit(record[1]), "the checksum is stamped");
    fuzzCheck(got.payloadLength >= 0 && got.payloadLength <= recordSize - payloadOffset,
              "the payload lies inside the record");
    fuzzCheck(!complete || got.payloadLength <= maxPayloadLength,
              "a complete record's payload leaves room for its ETX");
    fuzzCheck(got.payload[got.payloadLength] == '\0', "the payload is terminated");
    fuzzCheck(std::strlen(got.payload) <= static_cast<std::size_t>(got.payloadLength),
              "payloadLength counts every payload byte");
    fuzzCheck(carriesPayload(got.type) || got.payloadLength == 0, "only data types carry a payload");
    fuzzCheck(std::memcmp(got.payload, record + payloadOffset, got.payloadLength) == 0,
              "the payload is the record's own bytes");
    int end = payloadOffset + got.payloadLength;
    fuzzCheck(!carriesPayload(got.type) || end == recordSize || record[end] == etx,
              "the payload ends at the ETX or at the buffer's end");
    if (carriesPayload(got.type))
        fuzzCheck(std::memchr(got.payload, etx, got.payloadLength) == nullptr, "no ETX in a payload");

    // Stamped, the same bytes decode as a good record when they were complete.
    Decoded again;
    decode(record, complete, again);
    fuzzCheck(again.status == (complete ? recordGood : recordBad), "a stamped record checks");
    fuzzCheck(again.type == got.type && again.payloadLength == got.payloadLength,
              "decoding is repeatable");
}

// What a record built for code should decode to.
std::string expectedPayload(int code, const std::string& text, const unsigned char* built, int length)
{
    if (code == GTD && runSettings.fanucMode)
        return "";
    if (code == SAT)
        return std::string(reinterpret_cast<const char*>(built) + payloadOffset, length - 6);
    return carriesPayload(code) ? text : "";
}

void checkBuiltRecord(const uint8_t* data, std::size_t size)
{
    if (size < 2)
        return;
    int code = builtCodes[data[0] % (sizeof builtCodes / sizeof builtCodes[0])];
    runSettings.fanucMode = data[1] & 1;
    std::string text;
    for (std::size_t i = 2; i < size && text.size() < static_cast<std::size_t>(maxPayloadLength); ++i)
        if (data[i] != '\0' && data[i] != etx)
            text += static_cast<char>(data[i]);
    storeSatPayload(text.c_str());

    unsigned char built[recordSize];
    int length = buildRecord(code, text.c_str(), built);
    fuzzCheck(length >= 6 && length <= recordSize, "a built record fits its buffer");
    fuzzCheck(built[length - 1] == etx, "a built record ends with ETX");

    unsigned char record[recordSize];
    fuzzCheck(fillAsRead(record, built, static_cast<std::size_t>(length)), "a built record reads whole");
    Decoded got;
    decode(record, true, got);
    if (isOneOf(code, sentOnlyCodes)) {
        fuzzCheck(got.type == UNKNOWN, "records zek only sends are not recognised");
        return;
    }
    fuzzCheck(got.status == recordGood, "a built record checks");
    fuzzCheck(got.type == code, "a built record keeps its type");
    std::string payload(got.payload, got.payloadLength);
    fuzzCheck(payload == expectedPayload(code, text, built, length), "a built record keeps its payload");
}

void checkDataRecord(const uint8_t* data, std::size_t size)
{
    std::string text;
    int lineFeeds = 0;
    for (std::size_t i = 0; i < size; ++i) {
        unsigned char c = data[i] & 0x7F;
        if (c == etx)
            continue;
        text += static_cast<char>(c);
        lineFeeds += c == '\n';
    }
    unsigned char built[recordSize];
    int lineCount = -1;
    int length = buildDataRecord(text.data(), static_cast<int>(text.size()), built, &lineCount);
    int kept = static_cast<int>(text.size()) < maxPayloadLength ? static_cast<int>(text.size()) : maxPayloadLength;
    fuzzCheck(length == kept + 6, "a DAT record holds the data, cut to the payload room");
    if (kept == static_cast<int>(text.size()))
        fuzzCheck(lineCount == lineFeeds, "every line feed is counted");

    unsigned char record[recordSize];
    fuzzCheck(fillAsRead(record, built, static_cast<std::size_t>(length)), "a DAT record reads whole");
    Decoded got;
    decode(record, true, got);
    fuzzCheck(got.status == recordGood && got.type == DAT, "a DAT record checks");
    fuzzCheck(got.payloadLength == kept, "a DAT record keeps its length");
    for (int i = 0; i < kept; ++i)
        fuzzCheck(isoDecode(static_cast<unsigned char>(got.payload[i])) == static_cast<unsigned char>(text[i]),
                  "a DAT record keeps its data");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    runSettings = RunSettings{};
    if (size > 0 && data[0] != unreadByte)   // a first byte 0xFF reads as no record
        checkDecodedRecord(data, size);
    checkBuiltRecord(data, size);
    checkDataRecord(data, size);
    return 0;
}
