#include "link/failure_report.h"

#include <cstdio>

void reportFailure(const char* text)
{
    std::perror(text);
}
