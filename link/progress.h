// Progress of a transfer on the console: percent marks while sending,
// kilobyte marks while receiving. Marks go to standard error only.
#pragma once

#include <cstdint>

void advanceProgress(int32_t count);        // percent of runSettings.progressTotal
void showKilobyteProgress(int32_t count);   // kilobytes received
void resetFileProgress();                   // per-file counters
void resetProgress();                       // per-file counters and bytesSent
