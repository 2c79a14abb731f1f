#include "app/run_end.h"

#include <cstdlib>

#include "log/log.h"
#include "platform/stop_signal.h"

using namespace zek::log;
using namespace zek::link;
using namespace zek::sender;
using namespace zek::platform;

namespace zek::app {

namespace {

constexpr int exitCompleted = 0;
constexpr int exitStartUpFailed = 1;
constexpr int exitTransferFailed = 2;

void writeProgramEnd()
{
    echoLogEach("\n*** PROG_END *** %s\n", "*** PROG_END *** %s\n", timeStamp());
    closeLog();
}

// Whatever the run was doing has ended its own way (a receive with its END
// line, a tape filed); nothing more goes out.
[[noreturn]] void endStopped(Link* link)
{
    echoLogEach("\n*** STOPPED BY %s *** %s\n", "*** STOPPED BY %s *** %s\n", stopSignalName(), timeStamp());
    writeProgramEnd();
    if (link)
        link->close();
    endAsStopped();
}

}  // namespace

void endAnswered()
{
    std::exit(exitCompleted);
}

void endStartUp()
{
    if (stopRequested())
        endStopped(nullptr);
    closeLog();
    std::exit(exitStartUpFailed);
}

void endRun(Link& link, TransferOutcome outcome)
{
    if (stopRequested())
        endStopped(&link);
    if (outcome == TransferOutcome::NoLink)
        endStartUp();
    if (outcome == TransferOutcome::Completed || outcome == TransferOutcome::Failed)
        echoLog("END OF ZEK %s\n", timeStamp());
    if (outcome != TransferOutcome::Abandoned)
        link.drain();
    if (stopRequested())  // while the controller held the last bytes
        endStopped(&link);
    writeProgramEnd();
    link.close();
    std::exit(outcome == TransferOutcome::Completed ? exitCompleted : exitTransferFailed);
}

}  // namespace zek::app
