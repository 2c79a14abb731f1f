#include "link/failure_report.h"

#include <cstdio>

namespace zek::link {

void reportFailure(const char* text)
{
    std::perror(text);
}

}  // namespace zek::link
