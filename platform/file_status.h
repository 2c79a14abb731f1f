// Size of a file as the file system reports it.
#pragma once

#include <cstdint>

namespace zek::platform {

// The size, 0 when the file cannot be examined.
int32_t fileSize(const char* path);

}  // namespace zek::platform
