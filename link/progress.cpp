#include "link/progress.h"

#include <cstdio>

#include "app/run_settings.h"
#include "link/channel.h"

namespace {

constexpr int32_t stepsPerMark = 10;     // a value is printed every ten percent or kilobytes
constexpr int32_t bytesPerKilobyte = 1000;
constexpr int32_t kilobytesPerLine = 50;
constexpr int32_t lineRestartWindow = 5; // kilobyte values this far past a line's start restart it

// A long send wraps its percent line once, at the mark near the middle.
bool isMiddleOfLine(int32_t percent)
{
    return percent > 45 && percent < 55;
}

void showStep()
{
    if (!runSettings.monitor)
        std::fputs(".", stderr);
}

}  // namespace

void advanceProgress(int32_t count)
{
    RunSettings& s = runSettings;
    if (s.progressTotal == 0)
        return;
    s.progressFileBytes += count;
    s.bytesSent += count;
    auto percent = static_cast<int32_t>(double(s.progressFileBytes) / double(s.progressTotal) * 100.0);
    if (percent <= s.percentSent)
        return;
    s.percentSent = percent;
    flushOutput();   // a mark tells what is on the line; a failed write surfaces at the next block
    if (s.progressMarks * stepsPerMark > percent) {
        showStep();
        return;
    }
    if (!s.monitor)
        std::fprintf(stderr, "%s%ld%%", isMiddleOfLine(percent) ? "\n" : "", long(percent));
    ++s.progressMarks;
}

void showKilobyteProgress(int32_t count)
{
    RunSettings& s = runSettings;
    s.bytesSent += count;
    s.progressFileBytes += count;
    int32_t kilobytes = s.progressFileBytes / bytesPerKilobyte;
    if (kilobytes <= s.percentSent)
        return;
    s.percentSent = kilobytes;
    if (kilobytes < s.progressMarks * stepsPerMark) {
        showStep();
        return;
    }
    if (!s.monitor) {
        bool restartsLine = kilobytes % kilobytesPerLine < lineRestartWindow;
        std::fprintf(stderr, "%s%ldKB", restartsLine ? "\r" : "", long(kilobytes));
    }
    ++s.progressMarks;
}

void resetFileProgress()
{
    runSettings.progressFileBytes = 0;
    runSettings.progressMarks = 0;
    runSettings.percentSent = 0;
}

void resetProgress()
{
    resetFileProgress();
    runSettings.bytesSent = 0;
}

FileProgress currentFileProgress()
{
    const RunSettings& s = runSettings;
    return {s.progressTotal, s.progressFileBytes, s.percentSent, s.progressMarks};
}

void resumeFileProgress(const FileProgress& kept)
{
    runSettings.progressTotal = kept.total;
    runSettings.progressFileBytes = kept.fileBytes;
    runSettings.percentSent = kept.percent;
    runSettings.progressMarks = kept.marks;
}
