#include "log/console_text.h"

#include "log/shift_jis_text.h"

namespace zek::log {

static ConsoleSystem installedConsole;

void setConsoleSystem(const ConsoleSystem& console)
{
    installedConsole = console;
}

void writeConsoleText(std::FILE* stream, const char* text)
{
    const std::u16string unicode = unicodeFromShiftJis(text);
    if (installedConsole.writeWindow && installedConsole.writeWindow(stream, unicode))
        return;
    if (installedConsole.takesUtf8)
        std::fputs(utf8FromUnicode(unicode).c_str(), stream);
    else
        std::fputs(text, stream);
}

}  // namespace zek::log
