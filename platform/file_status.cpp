#include "platform/file_status.h"

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

}  // namespace zek::platform
