#include "link/file_status.h"

#include <cstdio>

int fileSize(const char* path, int32_t* size)
{
    *size = 0;
    std::FILE* file = std::fopen(path, "rb");
    if (!file)
        return 0;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        long end = std::ftell(file);
        if (end > 0)
            *size = static_cast<int32_t>(end);
    }
    std::fclose(file);
    return 0;
}
