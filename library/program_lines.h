// The program lines of a stored tape, as the library compares and names
// programs.
#pragma once

#include <string>

#include "library/line_file.h"

namespace zek::library {

// The program lies between the start-code line (the first line holding "%";
// lines before it are leader) and the stop code (the next "%", the text
// before it on its line being a last line when there is any). A file without
// any "%" is program throughout. Each line comes without CR, NUL and DEL
// (0x7F, 0xFF) and without trailing blanks and tabs: what a punch or a line
// adds to a tape does not make two programs differ.
class ProgramLines {
public:
    explicit ProgramLines(const std::string& path);

    // The next program line, cleaned; false after the last.
    bool next(std::string& line);

private:
    LineFile file_;
    bool ended_ = false;
};

}  // namespace zek::library
