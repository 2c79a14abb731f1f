// Invariant checks for the fuzz targets: a broken one is a finding.
#pragma once

#include <cstddef>
#include <cstdint>

// Stops the run with what went wrong, so that libFuzzer keeps the input.
void fuzzCheck(bool holds, const char* invariant);

// A fresh directory made the working directory, for targets that touch
// zek's own files (ZEKMAC.TXT). Called once, at start.
void enterScratchDirectory();

// The input cut into the text before the first line feed (included) and
// the rest, as two lines of at most maxLength characters.
struct InputLines {
    const char* first;
    std::size_t firstLength;
    const char* rest;
    std::size_t restLength;
};
InputLines splitFirstLine(const uint8_t* data, std::size_t size, std::size_t maxLength);
