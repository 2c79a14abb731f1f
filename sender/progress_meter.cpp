#include "sender/progress_meter.h"

#include "log/log.h"
#include "platform/file_status.h"

using namespace zek::log;
using namespace zek::platform;

namespace zek::sender {

namespace {

constexpr int32_t stepsPerMark = 10;  // a value is printed every ten percent or kilobytes
constexpr int32_t bytesPerKilobyte = 1000;
constexpr int32_t kilobytesPerLine = 50;
constexpr int32_t lineRestartWindow = 5;  // kilobyte values this far past a line's start restart it
constexpr int32_t emptyFileTotal = 100000;

// A long send wraps its percent line once, at the mark near the middle.
bool isMiddleOfLine(int32_t percent)
{
    return percent > 45 && percent < 55;
}

}  // namespace

int32_t ProgressMeter::startFile(const char* name)
{
    int32_t size = fileSize(name);
    if (size == 0) {
        total_ = emptyFileTotal;
        return size;
    }
    total_ = size;
    resetFile();
    return size;
}

void ProgressMeter::showStep() const
{
    if (!monitor_)
        showProgress(".");
}

void ProgressMeter::advance(int32_t count)
{
    if (total_ == 0)
        return;
    fileBytes_ += count;
    bytesSent_ += count;
    auto percent = static_cast<int32_t>(double(fileBytes_) / double(total_) * 100.0);
    if (percent <= percentSent_)
        return;
    percentSent_ = percent;
    if (marks_ * stepsPerMark > percent) {
        showStep();
        return;
    }
    if (!monitor_)
        showProgress("%s%ld%%", isMiddleOfLine(percent) ? "\n" : "", long(percent));
    ++marks_;
}

void ProgressMeter::showKilobytes(int32_t count)
{
    bytesSent_ += count;
    fileBytes_ += count;
    int32_t kilobytes = fileBytes_ / bytesPerKilobyte;
    if (kilobytes <= percentSent_)
        return;
    percentSent_ = kilobytes;
    if (kilobytes < marks_ * stepsPerMark) {
        showStep();
        return;
    }
    if (!monitor_) {
        bool restartsLine = kilobytes % kilobytesPerLine < lineRestartWindow;
        showProgress("%s%ldKB", restartsLine ? "\r" : "", long(kilobytes));
    }
    ++marks_;
}

void ProgressMeter::resetFile()
{
    fileBytes_ = 0;
    marks_ = 0;
    percentSent_ = 0;
}

void ProgressMeter::reset()
{
    resetFile();
    bytesSent_ = 0;
}

void ProgressMeter::resumeFile(const FileState& kept)
{
    total_ = kept.total;
    fileBytes_ = kept.fileBytes;
    percentSent_ = kept.percent;
    marks_ = kept.marks;
}

}  // namespace zek::sender
