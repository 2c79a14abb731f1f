#include "app/run_end.h"

#include <cstdio>
#include <cstdlib>

#include "log/log.h"
#include "link/channel.h"

namespace {

constexpr int exitCompleted = 0;
constexpr int exitTransferFailed = 2;   // 1 is taken by the start-up failures

bool transferFailed = false;

}  // namespace

void noteTransferFailed()
{
    transferFailed = true;
}

void programEnd(int skipDrain)
{
    if (skipDrain == 0)
        drainOutput();
    std::fprintf(stderr, "\n*** PROG_END *** %s\n", timeStamp());
    logOnly("*** PROG_END *** %s\n", timeStamp());
    closeLog();
    closeChannel();
    std::fflush(stdout);
    std::exit(transferFailed ? exitTransferFailed : exitCompleted);
}
