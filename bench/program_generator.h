// Generated NC programs of a chosen size: a main program of G-code lines
// with "%" framing, comments and sub-program call lines (inline, block,
// repeated and with macros), and the sub-program files that it calls.
#pragma once

#include <string>

struct GeneratedProgram {
    std::string mainPath;  // MAIN.NC in the directory given
    long mainBytes = 0;    // size of MAIN.NC
    long mainLines = 0;
    long callLines = 0;
};

// Writes MAIN.NC and its sub-programs into dir (which must exist) so that the
// expanded program comes to about targetBytes. Empty mainPath on failure.
GeneratedProgram generateProgram(const std::string& dir, long targetBytes);
