// The printed tables: Markdown, so that they read on a terminal and paste
// unchanged into bench/README.md.
#pragma once

#include <string>
#include <vector>

#include "rows.h"

struct RowReport {
    std::string name;
    std::string reference;
    RowPair small;         // the 1 MB run: memory must not grow from here
    RowPair large;         // the full-size run: every speed is from this one
    bool records = false;  // Protocol A: show records per second
};

void printMachine();
void printSpeedTable(const std::vector<RowReport>& rows);
void printCostTable(const std::vector<RowReport>& rows, const std::string& smallLabel, const std::string& largeLabel);
// Every measure that did not pass its check, with the reason; true when none.
bool printFailures(const std::vector<RowReport>& rows);
