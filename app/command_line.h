// The command line: the only source of settings.
#pragma once

#include "app/run_settings.h"

namespace zek::app {

// What reading the command line came to.
enum class CommandLineOutcome {
    Accepted,       // the settings filled; the run goes on
    JapaneseUsage,  // no argument, or a letter that selects no option
    EnglishUsage,   // -h
    Refused,        // more than the settings can hold, or a long option they cannot take; the reason is written
};

// Applies the option -l alone. The log's mode must be known before the log
// opens, and the other options write to the log as they are read.
void applyLogOption(int argc, char** argv, RunSettings& settings);

// Fills the settings from the arguments, writing the messages of -c and -x
// on the way, and resolves the run mode from the options that choose it;
// then the long options must fit that mode.
// Reading stops at the first letter that shows a usage text or at a
// refusal; the options before it have taken effect.
CommandLineOutcome readCommandLine(int argc, char** argv, RunSettings& settings);

// readCommandLine, then the log's --quiet-idle and the banner. Shows a usage
// text (and ends the run with status 1); false for a refused command line.
bool parseCommandLine(int argc, char** argv, RunSettings& settings);

}  // namespace zek::app
