// Output for a link that takes large writes best (a TCP connection, an output
// file): blocks are held and go out together, so a punch-out costs a system
// call per buffer rather than per line.
#pragma once

#include <functional>
#include <vector>

namespace zek::link {

class GatheredOutput {
public:
    // Writes bytes to the link itself; false when the write failed.
    using Write = std::function<bool(const unsigned char* bytes, int length)>;

    explicit GatheredOutput(Write write);

    // Holds a block, writing what is held first when the block would not fit.
    // false when a write failed, now or at an earlier flush.
    bool gather(const unsigned char* bytes, int length);

    // Writes what is held. false when this or an earlier write failed: a
    // failure stays until reset, so no later step can report success.
    bool flush();

    // Forgets what is held and any failure: the link is being released.
    void reset();

private:
    bool writeOut(const unsigned char* bytes, int length);

    Write write_;
    std::vector<unsigned char> held_;
    bool writeFailed_ = false;
};

}  // namespace zek::link
