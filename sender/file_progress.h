// Progress of the percent marks for one program file.
#pragma once

#include <cstdint>

// Makes the file's size the progress total and restarts the per-file
// counters; an empty file gets a nominal total and restarts nothing.
// Returns the size.
int32_t startFileProgress(const char* name);
