// Protocol A records: whatever bytes come down the line, the decoded record
// stays inside its buffer with a known type and a sound status. The records
// zek builds are checked byte for byte by the unit tests.
#include <cstdint>
#include <cstring>

#include "fuzz_check.h"
#include "protocol_a/records.h"

using namespace zek::protocol_a;

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size > 0 && data[0] != 0xFF)  // a first byte 0xFF reads as no record
        checkDecodedRecord(data, size);
    return 0;
}
