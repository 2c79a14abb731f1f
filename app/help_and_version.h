// --help and --version: answered before anything else of the run, so that
// asking opens no log and creates no macro file.
#pragma once

namespace zek::app {

// When an argument is --help or --version (the first of them counts, whatever
// else the line holds): writes the answer to standard output and ends the run
// with status 0. Otherwise returns.
void answerHelpOrVersion(int argc, char** argv);

}  // namespace zek::app
