// The text of the senders in Protocol A server mode: gathered into a data
// block that goes out as one DAT record, with the controller's answer to it.
#pragma once

#include <cstddef>

#include "protocol_a/records.h"
#include "sender/progress_meter.h"
#include "sender/text_sink.h"

namespace zek::protocol_a {

// The text gathered for one DAT record.
class DataBlock {
public:
    void clear();
    // Appends zero-terminated text. false, leaving the block as it was, when
    // the text would not fit into one DAT record.
    bool append(const char* text);
    const char* text() const { return text_; }
    int length() const { return length_; }

private:
    char text_[recordSize] = {};
    int length_ = 0;
};

class DataBlockSink : public sender::TextSink {
public:
    DataBlockSink(RecordLine& records, sender::ProgressMeter& meter) : records_(records), meter_(meter) {}

    void startProgram() override { block_.clear(); }
    void errorTape(const char* text) override;
    // A header goes out at once; when it cannot, the run must end.
    bool header(const char* text) override;
    // A line joins the block, which goes out once it is nearly full.
    bool line(const char* text) override;
    bool closingLine(const char* text) override;
    // A piece of a file sent unchanged: one DAT record of its own, cut at a zero byte.
    bool piece(const char* text, std::size_t length) override;
    bool flush() override { return records_.link().flush(); }

    // true once a header could not be delivered: nothing more may go out.
    bool runMustEnd() const { return runMustEnd_; }

private:
    enum class Outcome { Accepted, Repeat, Stop };
    struct SentBlock {
        int length = 0;
        int lineCount = 0;
    };
    struct StopAnswer {
        int received;
        const char* word;  // as the log line names it
        int answer;
    };

    bool appendText(const char* text);
    bool appendAndSend(const char* text);
    // Sends the block as one DAT record and carries the dialogue until the
    // controller asks for more (true, block emptied) or the transfer must
    // stop. The answer due to the controller has been sent in either case.
    bool send();
    bool sendRecord(SentBlock* sent);
    Outcome awaitAnswer(const SentBlock& sent);
    Outcome setExchange(const SentBlock& sent);
    Outcome acceptBlock(const SentBlock& sent);
    template <int N>
    Outcome stopTransfer(const StopAnswer (&stops)[N], int type);
    int receiveType(RecordStatus* status);
    void reportSatInSetExchange(int type);

    static const StopAnswer blockStops[4];
    static const StopAnswer setExchangeStops[4];

    RecordLine& records_;
    sender::ProgressMeter& meter_;
    DataBlock block_;
    bool runMustEnd_ = false;
};

}  // namespace zek::protocol_a
