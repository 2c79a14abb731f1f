#include "library/tape_name.h"

#include "library/program_lines.h"

namespace zek::library {

namespace {

constexpr int linesSearched = 3;
constexpr std::size_t maxDigits = 8;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool beginsProgramNumber(const std::string& line)
{
    return line.size() > 1 && (line[0] == 'O' || line[0] == 'o' || line[0] == ':') && isDigit(line[1]);
}

std::string numberName(const std::string& line)
{
    std::size_t digits = 1;
    while (digits < line.size() && isDigit(line[digits]))
        ++digits;
    --digits;
    return digits <= maxDigits ? "O" + line.substr(1, digits) : "";
}

}  // namespace

std::string programName(const std::string& path)
{
    ProgramLines lines(path);
    std::string line;
    for (int searched = 0; searched < linesSearched && lines.next(line);) {
        if (line.empty())
            continue;
        if (beginsProgramNumber(line))
            return numberName(line);
        ++searched;
    }
    return "";
}

}  // namespace zek::library
