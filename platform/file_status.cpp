#include "platform/file_status.h"

#include <cstdio>

namespace zek::platform {

int32_t fileSize(const char* path)
{
    std::FILE* file = std::fopen(path, "rb");
    if (!file)
        return 0;
    int32_t size = 0;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        long end = std::ftell(file);
        if (end > 0)
            size = static_cast<int32_t>(end);
    }
    std::fclose(file);
    return size;
}

}  // namespace zek::platform
