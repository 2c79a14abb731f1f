// A link that takes large writes best (a TCP connection, an output file): its
// blocks are gathered and go out on flush, before a read and when the buffer
// is full.
#pragma once

#include "link/gathered_output.h"
#include "link/link.h"

namespace zek::link {

class GatheringLink : public Link {
public:
    bool flush() override { return gathered_.flush(); }

protected:
    explicit GatheringLink(const LinkConfig& config)
        : Link(config), gathered_([this](const unsigned char* bytes, int length) { return writeNow(bytes, length); })
    {
    }

    // What is held goes out before the link closes; then it and any failure
    // are forgotten.
    void releaseGathered()
    {
        flush();
        gathered_.reset();
    }

    GatheredOutput gathered_;
};

}  // namespace zek::link
