// The command line: the only source of settings.
#pragma once

// True when the command line holds the option -l; read before the log opens.
bool commandLineHasLogOption(int argc, char** argv);

// Fills runSettings, prints the banner and opens the Channel. Shows a usage
// text and exits with status 1 when the command line selects nothing.
void parseCommandLine(int argc, char** argv);
