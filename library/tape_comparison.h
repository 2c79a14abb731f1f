// Whether a tape holds the program a library file holds, line by line.
#pragma once

#include <string>

namespace zek::library {

struct LineDifference {
    long count = 0;      // positions whose program lines differ, a missing line included; 0: the same program
    long firstLine = 0;  // the first of them, counted from 1
};

LineDifference compareTapes(const std::string& oldPath, const std::string& newPath);

}  // namespace zek::library
