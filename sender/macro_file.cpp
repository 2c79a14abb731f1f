#include "sender/macro_file.h"

#include <cstdio>
#include <cstring>

#include "log/log.h"
#include "platform/text_file.h"
#include "sender/macro_table.h"

using namespace zek::log;
using namespace zek::platform;

namespace zek::sender {

// Code page 932 bytes: line 2 ends in an ideographic space, line 3 says in
// Japanese that macros do not work without this file.
static const char* const defaultMacroLines[] = {
    "#VELKMACRO FOR VELK 2012 V706 QJ DVR #",
    "#THIS IS SYSTEM MACRO DON'T EDIT\x81\x40#",
    "# \x82\xb1\x82\xcc\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xaa\x96\xb3\x82\xa2\x82\xc6"
    "\x83\x7d\x83\x4e\x83\x8d\x82\xaa\x97\x4c\x8c\xf8\x82\xc9\x82\xc8\x82\xe8\x82\xdc"
    "\x82\xb9\x82\xf1 #",
    "@XM:X=x-,x--=X,x=X,I=i-,i--=I,i=I,G02=g03,G03=g02,G41=g42,G42=g41,g=G",
    "@YM:Y=y-,y--=Y,y=Y,J=j-,j--=J,j=J,G02=g03,G03=g02,G41=g42,G42=g41,g=G",
    "@TC90:X=x,Y=y-,y--=X,x=Y,y=X,I=i,J=j-,j--=I,i=J,j=I",
    "@TC-90:X=x-,Y=y,x--=Y,x=Y,y=X,I=i-,J=j,i--=J,i=J,j=I",
    "@TC180:X=x-,Y=y-,x--=X,x=X,y--=Y,y=Y,I=i-,J=j-,i--=I,i=I,j--=J,j=J",
    "@FDEL:F*=",
    "@ZDEL:Z*=",
    "@F100:F*=F100",
    "@G01:G00=G01",
    "@M99:M30=M99",
    "@M30:M99=M30",
    "#THIS IS USERS MACRO YOU CAN EDIT #",
};

static bool writeDefaultMacroFile(std::FILE* file)
{
    for (const char* line : defaultMacroLines) {
        std::size_t length = std::strlen(line);
        if (writeTextBytes(file, line, length) != length || !writeTextByte(file, '\n'))
            return false;
    }
    return true;
}

void ensureMacroFile()
{
    TextReader existing;
    if (openTextReader(existing, macroFileName)) {
        closeTextReader(existing);
        return;
    }
    std::FILE* file = openTextWriter(macroFileName);
    bool written = file && writeDefaultMacroFile(file);
    if (file && std::fclose(file) != 0)
        written = false;
    if (!written)
        consoleOnly("Can Not Open MACFILE !!\n");
}

}  // namespace zek::sender
