// What the file system reports about files, without opening them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zek::platform {

// The size, 0 when the file cannot be examined.
int32_t fileSize(const char* path);

// What tells one state of a file from the next: its size and the time of its
// last change; all 0 when the file cannot be examined.
struct FileVersion {
    uintmax_t size = 0;
    int64_t modified = 0;  // in the file system clock's ticks
    bool operator==(const FileVersion& other) const { return size == other.size && modified == other.modified; }
};
FileVersion fileVersion(const char* path);

// The names in the working directory that begin with prefix, sorted.
std::vector<std::string> namesBeginningWith(const std::string& prefix);

}  // namespace zek::platform
