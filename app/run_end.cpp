#include "app/run_end.h"

#include <cstdlib>

#include "log/log.h"

using namespace zek::log;
using namespace zek::link;
using namespace zek::sender;

namespace zek::app {

namespace {

constexpr int exitCompleted = 0;
constexpr int exitStartUpFailed = 1;
constexpr int exitTransferFailed = 2;

}  // namespace

void endAnswered()
{
    std::exit(exitCompleted);
}

void endStartUp()
{
    closeLog();
    std::exit(exitStartUpFailed);
}

void endRun(Link& link, TransferOutcome outcome)
{
    if (outcome == TransferOutcome::NoLink)
        endStartUp();
    if (outcome != TransferOutcome::Abandoned)
        link.drain();
    echoLogEach("\n*** PROG_END *** %s\n", "*** PROG_END *** %s\n", timeStamp());
    closeLog();
    link.close();
    std::exit(outcome == TransferOutcome::Completed ? exitCompleted : exitTransferFailed);
}

}  // namespace zek::app
