// Protocol A records: checksum, type letters, optional payload, ETX.
#pragma once

// Record types by their numeric codes, as the "fst=%d" log lines show them.
enum RecordType {
    SYN = 0, RDY = 1, RST = 2, ALM = 3, AAL = 4, SAT = 5, GTD = 6, RTY = 7,
    DAT = 8, SET = 9, EOD = 10, WAT = 12, RTD = 13, ARS = 14,
    UNKNOWN = 99,
};

constexpr int recordSize = 4096;
constexpr int satPayloadSize = 256;
constexpr unsigned char etx = 0x03;

extern char satPayload[satPayloadSize];

// Checks bytes 0 and 1 against the checksum of the record, then stamps it.
// 0 when they matched, -1 otherwise.
int recordChecksum(unsigned char* record);

// Receives one record. status: 0 good, -1 bad checksum, 99 nothing came.
// payload (recordSize bytes) gets the zero-terminated payload.
int receiveRecord(int* status, char* payload, int* payloadLength, int* type);

// Builds and writes a record; text is the payload where the type has one.
int sendRecord(int code, const char* text = nullptr);

// A DAT record of length data bytes in ISO even parity.
void sendDataRecord(const char* data, int length, int* status, int* lineCount);
