#include "link/gathered_output.h"

#include <utility>

namespace zek::link {

namespace {

// Large enough that a system call carries many lines, small enough that the
// memory of a run stays flat whatever the size of the program.
constexpr std::size_t gatherCapacity = 64 * 1024;

}  // namespace

GatheredOutput::GatheredOutput(Write write) : write_(std::move(write))
{
    held_.reserve(gatherCapacity);
}

bool GatheredOutput::writeOut(const unsigned char* bytes, int length)
{
    if (!writeFailed_ && length > 0 && !write_(bytes, length))
        writeFailed_ = true;
    return !writeFailed_;
}

bool GatheredOutput::gather(const unsigned char* bytes, int length)
{
    std::size_t size = static_cast<std::size_t>(length);
    if (held_.size() + size > gatherCapacity && !flush())
        return false;
    if (size > gatherCapacity)
        return writeOut(bytes, length);
    held_.insert(held_.end(), bytes, bytes + size);
    return !writeFailed_;
}

// The held bytes leave the buffer before they are written: a line reported
// during the write flushes again, and must find nothing to send twice.
bool GatheredOutput::flush()
{
    std::vector<unsigned char> out;
    out.swap(held_);
    bool written = writeOut(out.data(), static_cast<int>(out.size()));
    out.clear();
    held_.swap(out);  // keeps the reserved room
    return written;
}

void GatheredOutput::reset()
{
    held_.clear();
    writeFailed_ = false;
}

}  // namespace zek::link
