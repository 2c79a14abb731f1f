#include "platform/console.h"

#include <io.h>
#include <windows.h>

namespace zek::platform {

bool consoleTakesUtf8()
{
    return false;
}

// Wide characters reach a console window whatever its code page.
bool writeConsoleWindow(std::FILE* stream, const std::u16string& text)
{
    HANDLE console = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    if (console == INVALID_HANDLE_VALUE || !GetConsoleMode(console, &mode))
        return false;
    std::fflush(stream);
    DWORD written = 0;
    return WriteConsoleW(console, reinterpret_cast<const wchar_t*>(text.data()), DWORD(text.size()), &written,
                         nullptr) != 0;
}

}  // namespace zek::platform
