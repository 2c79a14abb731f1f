#include "platform/file_status.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace zek::platform {

// One look at the file system: a sub-program call asks for each file it opens.
int32_t fileSize(const char* path)
{
    std::error_code error;
    std::uintmax_t size = std::filesystem::file_size(path, error);
    return error ? 0 : static_cast<int32_t>(size);
}

FileVersion fileVersion(const char* path)
{
    std::error_code sizeError;
    std::error_code timeError;
    std::uintmax_t size = std::filesystem::file_size(path, sizeError);
    auto modified = std::filesystem::last_write_time(path, timeError);
    if (sizeError || timeError)
        return {};
    return {size, static_cast<int64_t>(modified.time_since_epoch().count())};
}

std::vector<std::string> namesBeginningWith(const std::string& prefix)
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(".", error)) {
        std::string name = entry.path().filename().string();
        if (name.compare(0, prefix.size(), prefix) == 0)
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace zek::platform
