// The long options: "--name", or "--name=value" for those that take a value.
// They come after the single letters and leave those as they are.
#pragma once

#include "app/run_settings.h"

namespace zek::app {

// Answered before the command line is read (see answerHelpOrVersion).
constexpr const char* helpOption = "--help";
constexpr const char* versionOption = "--version";

// An argument that starts with "--"; "--" alone is one too.
bool isLongOption(const char* argument);

// Applies one long option to the settings. false, after the one line that
// names the fault, for an unknown option or a value it cannot take.
bool readLongOption(const char* argument, RunSettings& settings);

// What the long options need of the resolved run mode. false, after the
// line that says so, when they do not fit it.
bool longOptionsFitRunMode(const RunSettings& settings);

}  // namespace zek::app
