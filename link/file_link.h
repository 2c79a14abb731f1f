// The output file of "-c\name": it receives exactly the bytes a port would
// carry, gathered into large writes unless -w/-W pace them.
#pragma once

#include <cstdio>

#include "link/gathering_link.h"

namespace zek::link {

class FileLink : public GatheringLink {
public:
    explicit FileLink(const LinkConfig& config);

    LinkKind kind() const override { return LinkKind::OutputFile; }
    LineState state() override { return LineState::Usable; }
    int readByte(int timeoutMs) override;
    int pollByte() override { return noByte; }
    bool write(const unsigned char* bytes, int length) override;
    void close() override;

protected:
    bool open(bool afterLoss) override;
    void release() override;
    bool writeNow(const unsigned char* bytes, int length) override;

private:
    std::FILE* file_ = nullptr;
};

}  // namespace zek::link
