// Protocol A records on a socket, for the bench's controller and its
// reference peers: one send per record, buffered reads.
#pragma once

#include <string>

struct RecordStream {
    int fd = -1;
    std::string pending;  // received bytes not yet taken as a record
};

struct BenchRecord {
    std::string letters;
    std::string payload;
    bool checksumGood = false;
};

// Builds the record (checksum, letters, payload, ETX) and sends it.
bool sendBenchRecord(RecordStream& stream, const char* letters, const std::string& payload = "");
// The next record; false when none was complete within timeoutMs or the peer closed.
bool readBenchRecord(RecordStream& stream, BenchRecord& record, int timeoutMs);
// Text as a controller's data travels: each byte with ISO even parity.
std::string withIsoParity(const char* bytes, std::size_t length);
