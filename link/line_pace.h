// The pace of a device server's serial line: zek's data leaves no faster
// than the box's port carries it, so that the box holds next to nothing when
// the controller stops the flow with DC3. Without it the network's and the
// box's buffers would go on feeding the controller for seconds after its DC3.
#pragma once

#include <chrono>

namespace zek::link {

class LinePace {
public:
    using Clock = std::chrono::steady_clock;

    // A line of bitsPerSecond from now on (8N1: ten bits a byte); 0: no pace.
    void start(long bitsPerSecond);

    // How many bytes may go now (many where there is no pace); 0 while the
    // line is still busy with what was sent.
    int room() const;
    // How long until room() has some, in milliseconds.
    int waitMs() const;
    void sent(int count);

private:
    Clock::duration busy(Clock::time_point now) const;

    long bytesPerSecond_ = 0;
    Clock::time_point lineFree_;  // when the line will have carried everything sent
    Clock::duration lead_{};      // how far zek may send ahead of the line
};

}  // namespace zek::link
