// zek: moves NC part programs between a PC and a CNC controller.
// The run, from start to end: --help and --version, log, macro file, command
// line, the stop signals, link, one transfer mode, orderly end.

#include <cstdio>
#include <cstdlib>

#include "app/command_line.h"
#include "app/help_and_version.h"
#include "app/run_end.h"
#include "app/run_settings.h"
#include "log/log.h"
#include "platform/stop_signal.h"
#include "protocol_a/protocol_a.h"
#include "protocol_b/protocol_b.h"
#include "sender/macro_file.h"

using namespace zek::app;
using namespace zek::link;
using namespace zek::log;
using namespace zek::platform;
using namespace zek::protocol_a;
using namespace zek::protocol_b;
using namespace zek::sender;

static void openLogOrEnd(bool append)
{
    if (openLog(append))
        return;
    consoleOnly(append ? "Can Not Open ADD LOGFILE !!\n" : "Can Not Open NEW LOGFILE !!\n");
    std::exit(1);
}

using ProtocolARun = TransferOutcome (*)(RecordLine&, ProgressMeter&, const ProtocolASettings&);

static TransferOutcome runProtocolA(ProtocolARun run, Link& link, ProgressMeter& meter, const RunSettings& settings)
{
    RecordLine records(link, recordSettings(settings));
    return run(records, meter, protocolASettings(settings));
}

// The one transfer mode of the run.
static TransferOutcome runTransfer(Link& link, const RunSettings& settings)
{
    ProgressMeter meter(settings.monitor);
    switch (settings.mode) {
    case RunMode::PunchOut:
    case RunMode::Receive:
    case RunMode::ProtocolBServer:
        break;
    case RunMode::ProtocolASend:
        return runProtocolA(protocolASend, link, meter, settings);
    case RunMode::ProtocolAReceive:
        return runProtocolA(protocolAReceive, link, meter, settings);
    case RunMode::ProtocolAServer:
        return runProtocolA(protocolAServer, link, meter, settings);
    }
    return runProtocolB(link, meter, protocolBSettings(settings));
}

int main(int argc, char** argv)
{
    answerHelpOrVersion(argc, argv);
    RunSettings settings;
    applyLogOption(argc, argv, settings);
    openLogOrEnd(settings.logAppend);
    ensureMacroFile();
    if (!parseCommandLine(argc, argv, settings))
        endStartUp();
    // From here Ctrl-C and SIGTERM end the run in order, also while the link
    // waits for the controller.
    catchStopSignals();
    std::unique_ptr<Link> link = openLink(linkConfig(settings));
    if (!link)
        endStartUp();
    // A line about the transfer must not run ahead of the bytes it reports.
    setBeforeMessage([&link] { link->flush(); });
    endRun(*link, runTransfer(*link, settings));
}
