// The controller's side of the record dialogue: build, send and read records
// with time-outs, on a pseudo-terminal master or a TCP socket.
#pragma once

#include <string>

// Checksum, letters, payload and ETX, as a well-behaved controller sends them.
std::string wireRecord(const std::string& letters, const std::string& payload = "");
// The same record with a checksum that does not match.
std::string badChecksumRecord(const std::string& letters, const std::string& payload = "");

struct PeerRecord {
    bool received = false;  // false when no ETX came in time
    bool checksumGood = false;
    std::string letters;
    std::string payload;
    std::string raw;  // every byte from the checksum through ETX
};

class RecordPeer {
public:
    explicit RecordPeer(int fd) : fd_(fd) {}
    bool send(const std::string& letters, const std::string& payload = "");
    bool sendRaw(const std::string& bytes);
    // The next record, waiting at most timeoutMs for its ETX.
    PeerRecord read(int timeoutMs = 5000);
    // Reads records until one with these letters came; the others are dropped.
    PeerRecord readUntilType(const std::string& letters, int timeoutMs);

private:
    int fd_;
    std::string pending_;
};

// Plays the controller's part of a client run's opening: SYN, SYN and RDY
// each answered in kind. false when one of them did not come in time.
bool answerHandshake(RecordPeer& peer, int timeoutMs = 5000);
