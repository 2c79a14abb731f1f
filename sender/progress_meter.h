// Progress of a transfer on the console: percent marks while sending,
// kilobyte marks while receiving. Marks go to standard error only, and not
// at all under the monitor option, which shows the text itself.
#pragma once

#include <cstdint>

namespace zek::sender {

class ProgressMeter {
public:
    explicit ProgressMeter(bool monitor) : monitor_(monitor) {}

    // Makes the file's size the total and restarts the per-file counters; an
    // empty file gets a nominal total and restarts nothing. Returns the size.
    int32_t startFile(const char* name);
    void setTotal(int32_t total) { total_ = total; }

    void advance(int32_t count);        // percent of the total
    void showKilobytes(int32_t count);  // kilobytes received
    void resetFile();                   // per-file counters
    void reset();                       // per-file counters and bytes sent
    void resetBytes() { bytesSent_ = 0; }

    int32_t bytesSent() const { return bytesSent_; }
    int32_t percentSent() const { return percentSent_; }

    // The percent meter of one file, kept while a sub-program runs a meter
    // of its own, so that the calling file's marks go on where they stood.
    struct FileState {
        int32_t total;
        int32_t fileBytes;
        int32_t percent;
        int32_t marks;
    };
    FileState fileState() const { return {total_, fileBytes_, percentSent_, marks_}; }
    void resumeFile(const FileState& kept);

private:
    void showStep() const;

    bool monitor_;
    int32_t total_ = 0;
    int32_t fileBytes_ = 0;
    int32_t bytesSent_ = 0;
    int32_t percentSent_ = 0;  // or kilobytes, while receiving
    int32_t marks_ = 0;
};

}  // namespace zek::sender
