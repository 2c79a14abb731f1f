#include "library/tape_comparison.h"

#include "library/program_lines.h"

namespace zek::library {

LineDifference compareTapes(const std::string& oldPath, const std::string& newPath)
{
    ProgramLines oldLines(oldPath);
    ProgramLines newLines(newPath);
    LineDifference difference;
    std::string oldLine;
    std::string newLine;
    for (long position = 1;; ++position) {
        bool inOld = oldLines.next(oldLine);
        bool inNew = newLines.next(newLine);
        if (!inOld && !inNew)
            return difference;
        if (inOld == inNew && oldLine == newLine)
            continue;
        if (difference.count++ == 0)
            difference.firstLine = position;
    }
}

}  // namespace zek::library
