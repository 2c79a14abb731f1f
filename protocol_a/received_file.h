// A file the controller sends, on its way to the disk: the client receive
// and the server store the DAT payloads alike.
#pragma once

#include <cstdio>

#include "protocol_a/records.h"
#include "sender/progress_meter.h"

namespace zek::protocol_a {

class ReceivedFile {
public:
    explicit ReceivedFile(const char* path);  // created, or emptied
    ~ReceivedFile();
    ReceivedFile(const ReceivedFile&) = delete;
    ReceivedFile& operator=(const ReceivedFile&) = delete;

    bool isOpen() const { return file_ != nullptr; }

    // Writes the decoded payload of a DAT record, counts it and asks for the
    // next with GTD. false, after "Can't Write Recv File", when the disk does
    // not take it all: each payload is flushed, so that a full disk shows
    // before the controller is told the file arrived.
    bool store(RecordLine& records, sender::ProgressMeter& meter, const ReceivedRecord& record, const char* name);

    // false when what was written did not all reach the file; the line
    // above, unless a store has written it already.
    bool close(const char* name);

private:
    bool failed(const char* name);

    std::FILE* file_;
    bool writeFailed_ = false;
};

}  // namespace zek::protocol_a
