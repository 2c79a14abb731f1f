#include "sender/send_status.h"

#include <cstdio>

#include "log/log.h"

using namespace zek::log;

namespace zek::sender {

void printStatus(const char* word, const char* name)
{
    echoLog("%s%s %s\n", word, name, timeStamp());
}

void printRefusal(const char* word, const char* name)
{
    echoLog("%s%s\n", word, name);
}

void printClosing(const char* word, const char* name)
{
    char time[16];
    std::snprintf(time, sizeof time, "%s", timeStamp());
    std::fprintf(stderr, "\r%s%s %s\n", word, name, time);
    logOnly("%s%s %s\n", word, name, time);
}

}  // namespace zek::sender
