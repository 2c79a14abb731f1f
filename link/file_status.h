// Size of a file as the file system reports it.
#pragma once

#include <cstdint>

// Stores the size in *size (0 when the file cannot be examined); returns 0.
int fileSize(const char* path, int32_t* size);
