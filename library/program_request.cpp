#include "library/program_request.h"

#include "library/program_lines.h"

namespace zek::library {

namespace {

constexpr const char* keyword = "REQ";
constexpr std::size_t keywordLength = 3;
constexpr std::size_t maxNameLength = 32;
constexpr const char* blanks = " \t";

char upper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool isNameCharacter(char c)
{
    char letter = upper(c);
    return (letter >= 'A' && letter <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.';
}

// "REQ" in either case at start, followed by a blank or the comment's end.
bool opensRequest(const std::string& line, std::size_t start)
{
    for (std::size_t i = 0; i < keywordLength; ++i)
        if (start + i >= line.size() || upper(line[start + i]) != keyword[i])
            return false;
    char after = start + keywordLength < line.size() ? line[start + keywordLength] : '\0';
    return after == ')' || after == ' ' || after == '\t';
}

std::string trimmed(const std::string& text)
{
    std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool requestIn(const std::string& line, Request& request)
{
    for (std::size_t open = line.find('('); open != std::string::npos; open = line.find('(', open + 1)) {
        std::size_t nameStart = open + 1 + keywordLength;
        std::size_t close = line.find(')', open);
        if (close == std::string::npos)
            return false;
        if (!opensRequest(line, open + 1))
            continue;
        request = {true, trimmed(line.substr(nameStart, close - nameStart))};
        return true;
    }
    return false;
}

}  // namespace

Request findRequest(const std::string& path)
{
    ProgramLines lines(path);
    Request request;
    std::string line;
    while (lines.next(line))
        if (requestIn(line, request))
            break;
    return request;
}

bool isValidRequestName(const std::string& name)
{
    if (name.empty() || name.size() > maxNameLength || name[0] == '.' || name.find("..") != std::string::npos)
        return false;
    for (char c : name)
        if (!isNameCharacter(c))
            return false;
    return true;
}

std::string upperCase(std::string name)
{
    for (char& c : name)
        c = upper(c);
    return name;
}

}  // namespace zek::library
