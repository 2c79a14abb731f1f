#include "log/console_text.h"

#include "log/shift_jis_text.h"
#include "platform/console.h"

namespace zek::log {

void writeConsoleText(std::FILE* stream, const char* text)
{
    const std::u16string unicode = unicodeFromShiftJis(text);
    if (platform::writeConsoleWindow(stream, unicode))
        return;
    if (platform::consoleTakesUtf8())
        std::fputs(utf8FromUnicode(unicode).c_str(), stream);
    else
        std::fputs(text, stream);
}

}  // namespace zek::log
