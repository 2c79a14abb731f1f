#include "app/console_text.h"

#include "app/shift_jis_text.h"
#include "link/console.h"

void writeConsoleText(std::FILE* stream, const char* text)
{
    const std::u16string unicode = unicodeFromShiftJis(text);
    if (writeConsoleWindow(stream, unicode))
        return;
    if (consoleTakesUtf8())
        std::fputs(utf8FromUnicode(unicode).c_str(), stream);
    else
        std::fputs(text, stream);
}
