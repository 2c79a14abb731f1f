#include "library/program_lines.h"

#include <algorithm>

namespace zek::library {

namespace {

constexpr char codeMark = '%';

bool isFeedOrLineEnd(char c)
{
    return c == '\r' || c == '\0' || c == '\x7F' || c == '\xFF';
}

void clean(std::string& line)
{
    line.erase(std::remove_if(line.begin(), line.end(), isFeedOrLineEnd), line.end());
    line.erase(line.find_last_not_of(" \t") + 1);
}

}  // namespace

ProgramLines::ProgramLines(const std::string& path) : file_(path)
{
    std::string line;
    while (file_.read(line))
        if (line.find(codeMark) != std::string::npos)
            return;
    file_.rewind();
}

bool ProgramLines::next(std::string& line)
{
    if (ended_ || !file_.read(line))
        return false;
    std::size_t stopCode = line.find(codeMark);
    ended_ = stopCode != std::string::npos;
    if (ended_)
        line.erase(stopCode);
    clean(line);
    return !ended_ || !line.empty();
}

}  // namespace zek::library
