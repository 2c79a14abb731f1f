#include "platform/system_error.h"

#include <windows.h>

#include <cerrno>
#include <cstring>

#include "platform/last_error_win32.h"

namespace zek::platform {

// The C runtime names only the classic errno values; a socket error such as a
// refused connection would read "Unknown error". Windows' own text for the
// failed call says what happened.
std::string lastErrorText()
{
    unsigned long windowsError = 0;
    if (!lastFailureFromWindows(&windowsError))
        return std::strerror(errno);
    char reason[256] = "";
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, windowsError, 0,
                                  reason, sizeof reason, nullptr);
    while (length > 0 && (reason[length - 1] == '\n' || reason[length - 1] == '\r' || reason[length - 1] == ' '))
        reason[--length] = '\0';
    return length > 0 ? reason : std::strerror(errno);
}

}  // namespace zek::platform
