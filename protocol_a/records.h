// Protocol A records: checksum, type letters, optional payload, ETX.
#pragma once

#include "link/link.h"

namespace zek::protocol_a {

// Record types by their numeric codes, as the "fst=%d" log lines show them.
enum RecordType {
    SYN = 0,
    RDY = 1,
    RST = 2,
    ALM = 3,
    AAL = 4,
    SAT = 5,
    GTD = 6,
    RTY = 7,
    DAT = 8,
    SET = 9,
    EOD = 10,
    WAT = 12,
    RTD = 13,
    ARS = 14,
    UNKNOWN = 99,
};

// What came of receiving a record.
enum class RecordStatus {
    Good,
    Bad,      // checksum, unknown letters, or cut short
    Missing,  // nothing came
};

constexpr int recordSize = 4096;
// Checksum (2), letters (3) and ETX (1) leave this much room for a payload.
constexpr int maxPayloadLength = recordSize - 6;
constexpr int satPayloadSize = 256;
constexpr unsigned char etx = 0x03;

// How long the first byte of a record may take to come, and each byte after it.
constexpr int recordWaitMs = 1000;
constexpr int recordByteWaitMs = 100;

// The pause before a record that answers a bad one, and how many bad records
// in a row a client run bears before it gives a file up.
constexpr int retryPauseMs = 1000;
constexpr int maxBadRecords = 10;

// The controller parameters that SAT and SET carry between the peer's own text.
constexpr const char* parameterBlockText = "000007D00032000A003C0014000000000005";

// One received record.
struct ReceivedRecord {
    RecordStatus status = RecordStatus::Missing;
    int type = UNKNOWN;
    int payloadLength = 0;
    char payload[recordSize] = {};
};

// What a built record depends on besides its type and text.
struct RecordFormat {
    bool fanucMode = false;       // -F: a GTD carries no name
    const char* satPayload = "";  // the controller's last SAT text, for SAT and SET
};

// Checks bytes 0 and 1 against the checksum of the record, then stamps it.
// true when they matched.
bool recordChecksum(unsigned char* record);

// Decodes a record as the reader left it in its buffer (recordSize bytes:
// bytes 1 to 4 preset to 0xFF and byte 5 to ETX, then every byte read, ending
// at the ETX; a byte that did not come is stored as ETX from offset 5 on).
// complete is false when the reading stopped without an ETX. Unknown letters
// are overwritten with hyphens and bytes 0 and 1 are stamped with the checksum.
void decodeRecord(unsigned char* record, bool complete, ReceivedRecord& decoded);

// Builds the record for code into record (recordSize bytes), with text as
// the payload where the type has one; a code without letters builds RTY.
// Returns its length.
int buildRecord(int code, const char* text, unsigned char* record, const RecordFormat& format);

// The DAT record of length data bytes in ISO even parity, built into record
// (recordSize bytes). lineCount gets the number of line feeds among the data
// bytes. Returns its length.
int buildDataRecord(const char* data, int length, unsigned char* record, int* lineCount);

struct RecordSettings {
    bool monitor = false;  // -o: records and data are shown as they pass
    bool fanucMode = false;
};

// The records of a run on its link, and the SAT text they answer with.
class RecordLine {
public:
    RecordLine(link::Link& link, const RecordSettings& settings) : link_(link), settings_(settings) {}

    link::Link& link() { return link_; }
    bool monitor() const { return settings_.monitor; }

    // Keeps the payload of a received SAT for the SET answers; a longer text
    // keeps its first satPayloadSize - 1 characters.
    void storeSatPayload(const char* text);

    // Builds and writes a record; text is the payload where the type has one.
    // false when the link refused it.
    bool send(int code, const char* text = nullptr);

    // A DAT record of length data bytes in ISO even parity. lineCount gets
    // the number of line feeds among the data bytes.
    bool sendData(const char* data, int length, int* lineCount);

    void receive(ReceivedRecord& record);

    // Clears the parity bit of received data in place; under the monitor
    // option the cleared bytes are echoed on standard output.
    void decodePayload(char* payload, int length) const;

private:
    int readFirstByte();
    bool readRest(unsigned char* record);

    link::Link& link_;
    RecordSettings settings_;
    char satPayload_[satPayloadSize] = {};
};

}  // namespace zek::protocol_a
