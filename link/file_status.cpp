#include "link/file_status.h"
int fileSize(const char*, int32_t* size) { *size = 0; return 0; }
