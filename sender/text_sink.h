// Where the program senders hand their text: a tape stream through the block
// sender, or the data blocks of a record protocol. A new protocol that carries
// programs is a new sink; the senders stay as they are.
#pragma once

#include <cstddef>

namespace zek::sender {

class TextSink {
public:
    virtual ~TextSink() = default;

    // The top-level program starts: nothing of an earlier one stays gathered.
    virtual void startProgram() {}

    // An error tape: sent at once; the sender does not look at the result.
    virtual void errorTape(const char* text) = 0;

    // A header before a sub-program's lines.
    virtual bool header(const char* text) = 0;

    // A program line.
    virtual bool line(const char* text) = 0;

    // The top-level program's closing line: whatever is gathered goes out.
    virtual bool closingLine(const char* text) = 0;

    // A piece of a file sent unchanged.
    virtual bool piece(const char* text, std::size_t length) = 0;

    // What the link has gathered goes on the line, before a line that reports
    // it. false when a write failed.
    virtual bool flush() = 0;
};

}  // namespace zek::sender
