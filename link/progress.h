// Progress of a transfer on the console: percent marks while sending,
// kilobyte marks while receiving. Marks go to standard error only.
#pragma once

#include <cstdint>

void advanceProgress(int32_t count);        // percent of runSettings.progressTotal
void showKilobyteProgress(int32_t count);   // kilobytes received
void resetFileProgress();                   // per-file counters
void resetProgress();                       // per-file counters and bytesSent

// The percent meter of one file, kept while a sub-program runs a meter of its
// own, so that the calling file's marks go on where they stood.
struct FileProgress {
    int32_t total;
    int32_t fileBytes;
    int32_t percent;
    int32_t marks;
};
FileProgress currentFileProgress();
void resumeFileProgress(const FileProgress& kept);
