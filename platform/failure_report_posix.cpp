#include "platform/failure_report.h"

#include <cstdio>

namespace zek::platform {

void reportFailure(const char* text)
{
    std::perror(text);
}

}  // namespace zek::platform
