#include "app/command_line.h"
#include "link/channel.h"
bool commandLineHasLogOption(int, char**) { return false; }
void parseCommandLine(int, char**) { openChannel(); }
