// The end of a run, and the exit status it ends with: the one place that
// ends the process once the command line has been read.
#pragma once

#include "link/link.h"
#include "sender/transfer_outcome.h"

namespace zek::app {

// A run that only answered --help or --version, before opening anything:
// status 0.
[[noreturn]] void endAnswered();

// A start-up failure (refused command line, speed, port, host): the log is
// closed and the run ends with status 1. A run stopped before its link was
// open ends as stopped (see endRun).
[[noreturn]] void endStartUp();

// The orderly end after the transfer mode: the END OF ZEK line after a
// transfer, the link's output drained unless the transfer was abandoned, the
// PROG_END lines, the log closed, the link released; status 0 when every
// transfer completed, 2 when one failed or was stopped. A link that could
// not be opened anew ends as a start-up failure. A run stopped by a signal
// says so, writes PROG_END, releases the link (the port put back) and ends
// as the signal would have ended it.
[[noreturn]] void endRun(link::Link& link, sender::TransferOutcome outcome);

}  // namespace zek::app
