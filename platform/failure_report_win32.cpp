#include "platform/failure_report.h"

#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/last_error_win32.h"

namespace zek::platform {

// The C runtime names only the classic errno values; a socket error such as a
// refused connection would read "Unknown error". Windows' own text for the
// failed call says what happened.
void reportFailure(const char* text)
{
    unsigned long windowsError = 0;
    if (!lastFailureFromWindows(&windowsError)) {
        std::perror(text);
        return;
    }
    char reason[256] = "";
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, windowsError, 0,
                                  reason, sizeof reason, nullptr);
    while (length > 0 && (reason[length - 1] == '\n' || reason[length - 1] == '\r' || reason[length - 1] == ' '))
        reason[--length] = '\0';
    if (length == 0) {
        std::perror(text);
        return;
    }
    std::fprintf(stderr, "%s: %s\n", text, reason);
}

}  // namespace zek::platform
