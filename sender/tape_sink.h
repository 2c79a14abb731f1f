// The text of the senders as one tape stream through the block sender.
#pragma once

#include "sender/block_sender.h"
#include "sender/text_sink.h"

namespace zek::sender {

class TapeSink : public TextSink {
public:
    explicit TapeSink(BlockSender& blocks) : blocks_(blocks) {}

    void errorTape(const char* text) override;
    bool header(const char* text) override;
    bool line(const char* text) override;
    bool closingLine(const char* text) override;
    bool piece(const char* text, std::size_t length) override;
    bool flush() override { return blocks_.flush(); }

private:
    bool send(const char* text, std::size_t length);

    BlockSender& blocks_;
};

}  // namespace zek::sender
