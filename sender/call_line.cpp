#include "sender/call_line.h"

#include <algorithm>
#include <cstring>

namespace zek::sender {

namespace {

constexpr const char* commentCallStarts[] = {"(C ", "(C,", "(CC ", "(CC,"};

// The "&" of the line, or the "C" of a comment call at its start.
char* findCallMarker(char* line)
{
    if (char* ampersand = std::strchr(line, '&'))
        return ampersand;
    if (line[0] != '(')  // where every comment call starts
        return nullptr;
    for (const char* start : commentCallStarts) {
        if (std::strncmp(line, start, std::strlen(start)) == 0)
            return line + 1;
    }
    return nullptr;
}

// After the name's first comma or blank, more than one character (the line
// feed and a closing parenthesis count) make a macro specification.
char* findMacroSpec(char* name)
{
    char* separator = std::strpbrk(name, ", ");
    if (!separator || std::strlen(separator + 1) <= 1)
        return nullptr;
    return separator + 1;
}

}  // namespace

bool findCallLine(char* line, CallLine* call)
{
    char* marker = findCallMarker(line);
    if (!marker)
        return false;
    bool blockCall = marker[1] == '&' || marker[1] == 'C';
    call->kind = blockCall ? CallKind::Block : CallKind::Inline;
    std::size_t nameOffset = blockCall ? 3 : 2;
    char* name = marker + std::min(nameOffset, std::strlen(marker));
    call->name = name;
    call->nameLength = std::strcspn(name, " ,\n)");
    call->macroSpec = findMacroSpec(name);
    return true;
}

}  // namespace zek::sender
