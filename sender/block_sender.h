// The block sender: program text to tape code on the line.
#pragma once

#include "link/link.h"
#include "sender/progress_meter.h"
#include "tape/tape_code.h"

namespace zek::sender {

// How program text becomes tape.
struct TapeSettings {
    tape::TapeCode code = tape::TapeCode::IsoDefault;
    bool crlf = false;     // -f: a line ends in blank, CR, LF
    bool monitor = false;  // the text is echoed on standard output
    // A punch-out on a serial port stops when the controller sends "%" in any
    // tape code or the ISO SYN.
    bool watchBreakCodes = false;
};

class BlockSender {
public:
    // The length plus twice the line feeds of one block stay within this.
    static constexpr int bufferSize = 2048;

    BlockSender(link::Link& link, ProgressMeter& meter, const TapeSettings& settings)
        : link_(link), meter_(meter), settings_(settings)
    {
    }

    // Converts a block of program text (7-bit ASCII, LF line ends) to the
    // tape code, writes it and counts its progress; the line is checked
    // before it. false when the block is too long, the line is not usable,
    // the controller stopped the punch-out or the write failed.
    bool send(const char* text, int length);

    // What the link has gathered goes on the line. false when a write failed.
    bool flush() { return link_.flush(); }

private:
    bool stoppedByController();
    bool addsCarriageReturns() const;
    void convert(const char* text, int length, unsigned char* out) const;

    link::Link& link_;
    ProgressMeter& meter_;
    TapeSettings settings_;
};

}  // namespace zek::sender
