#include "fuzz_check.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

void fuzzCheck(bool holds, const char* invariant)
{
    if (holds)
        return;
    std::fprintf(stderr, "invariant broken: %s\n", invariant);
    std::abort();
}

namespace {

std::string scratchPath;

// The targets leave only ZEKMAC.TXT behind.
void removeScratchDirectory()
{
    std::remove((scratchPath + "/ZEKMAC.TXT").c_str());
    rmdir(scratchPath.c_str());
}

}  // namespace

void enterScratchDirectory()
{
    // In memory where the machine has it: the file targets write a file per input.
    scratchPath = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    scratchPath += "/zek-fuzz-XXXXXX";
    fuzzCheck(mkdtemp(&scratchPath[0]) != nullptr, "a scratch directory can be made");
    fuzzCheck(chdir(scratchPath.c_str()) == 0, "the scratch directory can be entered");
    std::atexit(removeScratchDirectory);
}

InputLines splitFirstLine(const uint8_t* data, std::size_t size, std::size_t maxLength)
{
    const char* text = reinterpret_cast<const char*>(data);
    const void* lineFeed = std::memchr(text, '\n', size);
    std::size_t firstLength = lineFeed ? static_cast<const char*>(lineFeed) - text + 1 : size;
    InputLines lines{text, firstLength, text + firstLength, size - firstLength};
    if (lines.firstLength > maxLength)
        lines.firstLength = maxLength;
    if (lines.restLength > maxLength)
        lines.restLength = maxLength;
    return lines;
}
