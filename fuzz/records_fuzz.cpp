// Protocol A records: whatever bytes come down the line, the decoded record
// stays inside its buffer with a known type and a sound status; and a record
// that zek's own builders made always decodes to what went in.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_check.h"
#include "protocol_a/records.h"
#include "tape/tape_code.h"

using namespace zek::protocol_a;
using namespace zek::tape;

namespace {

constexpr int payloadOffset = 5;

bool carriesPayload(int type)
{
    return type == SAT || type == GTD || type == DAT || type == RTD;
}

// The buffer as the reader leaves it (see decodeRecord); true when an ETX
// ended the record.
bool fillAsRead(unsigned char* record, const uint8_t* line, std::size_t size)
{
    std::memset(record, 0xAB, recordSize);
    std::memset(record + 1, 0xFF, 4);
    record[payloadOffset] = etx;
    for (std::size_t offset = 0; offset < std::size_t(recordSize); ++offset) {
        if (offset == size) {
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

ReceivedRecord decode(unsigned char* record, bool complete)
{
    ReceivedRecord got;
    decodeRecord(record, complete, got);
    return got;
}

void checkDecodedRecord(const uint8_t* line, std::size_t size)
{
    unsigned char record[recordSize];
    bool complete = fillAsRead(record, line, size);
    ReceivedRecord got = decode(record, complete);
    fuzzCheck(got.status != RecordStatus::Missing, "a record read is good or bad");
    fuzzCheck(complete || got.status == RecordStatus::Bad, "a record cut short is bad");
    fuzzCheck(got.type != UNKNOWN || std::memcmp(record + 2, "---", 3) == 0, "unknown letters read as hyphens");
    fuzzCheck(got.payloadLength >= 0 && got.payloadLength <= (complete ? maxPayloadLength : recordSize - payloadOffset),
              "the payload lies inside the record");
    fuzzCheck(got.payload[got.payloadLength] == '\0', "the payload is terminated");
    fuzzCheck(carriesPayload(got.type) || got.payloadLength == 0, "only data types carry a payload");
    fuzzCheck(std::memcmp(got.payload, record + payloadOffset, got.payloadLength) == 0,
              "the payload is the record's own bytes");
    fuzzCheck(decode(record, complete).status == (complete ? RecordStatus::Good : RecordStatus::Bad),
              "a stamped record checks");
}

// A record built for a code that zek also receives decodes to that code and text.
void checkBuiltRecord(const uint8_t* data, std::size_t size)
{
    const int codes[] = {SYN, RDY, RST, ALM, SAT, GTD, RTY, DAT, EOD, WAT, RTD};
    if (size < 2)
        return;
    int code = codes[data[0] % (sizeof codes / sizeof codes[0])];
    bool fanucMode = data[1] & 1;
    std::string text;
    for (std::size_t i = 2; i < size && text.size() < std::size_t(maxPayloadLength); ++i)
        if (data[i] != '\0' && data[i] != etx)
            text += char(data[i]);
    unsigned char built[recordSize];
    int length = buildRecord(code, text.c_str(), built, RecordFormat{fanucMode, text.c_str()});
    fuzzCheck(length >= 6 && length <= recordSize && built[length - 1] == etx, "a built record fits and ends with ETX");
    unsigned char record[recordSize];
    fuzzCheck(fillAsRead(record, built, std::size_t(length)), "a built record reads whole");
    ReceivedRecord got = decode(record, true);
    fuzzCheck(got.status == RecordStatus::Good && got.type == code, "a built record checks and keeps its type");
    std::string expected = code == SAT ? std::string(reinterpret_cast<char*>(built) + payloadOffset, length - 6)
                           : carriesPayload(code) && !(code == GTD && fanucMode) ? text
                                                                                 : "";
    fuzzCheck(std::string(got.payload, got.payloadLength) == expected, "a built record keeps its payload");
}

void checkDataRecord(const uint8_t* data, std::size_t size)
{
    std::string text;
    for (std::size_t i = 0; i < size; ++i)
        if ((data[i] & 0x7F) != etx)
            text += char(data[i] & 0x7F);
    unsigned char built[recordSize];
    int lineCount = -1;
    int length = buildDataRecord(text.data(), int(text.size()), built, &lineCount);
    int kept = std::min(int(text.size()), maxPayloadLength);
    fuzzCheck(length == kept + 6, "a DAT record holds the data, cut to the payload room");
    unsigned char record[recordSize];
    fuzzCheck(fillAsRead(record, built, std::size_t(length)), "a DAT record reads whole");
    ReceivedRecord got = decode(record, true);
    fuzzCheck(got.status == RecordStatus::Good && got.type == DAT && got.payloadLength == kept, "a DAT record checks");
    for (int i = 0; i < kept; ++i)
        fuzzCheck(isoDecode(static_cast<unsigned char>(got.payload[i])) == static_cast<unsigned char>(text[i]),
                  "a DAT record keeps its data");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size > 0 && data[0] != 0xFF)  // a first byte 0xFF reads as no record
        checkDecodedRecord(data, size);
    checkBuiltRecord(data, size);
    checkDataRecord(data, size);
    return 0;
}
