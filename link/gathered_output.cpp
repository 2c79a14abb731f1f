#include "link/gathered_output.h"

#include <cstring>

namespace {

// Large enough that a system call carries many lines, small enough that the
// memory of a run stays flat whatever the size of the program.
constexpr int gatherCapacity = 64 * 1024;

unsigned char held[gatherCapacity];
int heldLength = 0;
bool writeFailed = false;

bool writeOut(const unsigned char* bytes, int length, LinkWrite write)
{
    if (!writeFailed && length > 0 && !write(bytes, length))
        writeFailed = true;
    return !writeFailed;
}

}  // namespace

bool gatherOutput(const unsigned char* bytes, int length, LinkWrite write)
{
    if (heldLength + length > gatherCapacity && !flushGatheredOutput(write))
        return false;
    if (length > gatherCapacity)
        return writeOut(bytes, length, write);
    std::memcpy(held + heldLength, bytes, static_cast<std::size_t>(length));
    heldLength += length;
    return !writeFailed;
}

bool flushGatheredOutput(LinkWrite write)
{
    int length = heldLength;
    heldLength = 0;
    return writeOut(held, length, write);
}

void resetGatheredOutput()
{
    heldLength = 0;
    writeFailed = false;
}
