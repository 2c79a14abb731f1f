// The long options: "--name", or "--name=value" for those that take a value.
// They come after the single letters and leave those as they are.
#pragma once

namespace zek::app {

// Answered before the command line is read (see answerHelpOrVersion).
constexpr const char* helpOption = "--help";
constexpr const char* versionOption = "--version";

}  // namespace zek::app
