#include "app/run_end.h"

#include <cstdio>
#include <cstdlib>

#include "app/log.h"
#include "link/channel.h"

void programEnd(int skipDrain)
{
    if (skipDrain == 0)
        drainOutput();
    std::fprintf(stderr, "\n*** PROG_END *** %s\n", timeStamp());
    logOnly("*** PROG_END *** %s\n", timeStamp());
    closeLog();
    closeChannel();
    std::fflush(stdout);
    std::exit(0);
}
