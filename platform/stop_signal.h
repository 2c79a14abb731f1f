// A stop asked for from outside the run: SIGINT (Ctrl-C), SIGTERM (systemctl
// stop) and SIGHUP (the terminal closed) on POSIX systems; Ctrl-C, Ctrl-Break
// and the console closing on Windows. The first one only asks: the waits of
// the run return within about a second, the run ends in order, and then the
// process ends as the signal would have ended it. A second one ends it at once.
#pragma once

namespace zek::platform {

// From now on the stop signals ask the run to stop. A signal the run was
// started with ignored (a job started with nohup, say) stays ignored.
void catchStopSignals();

bool stopRequested();

// The name of the signal that asked, for the log: "SIGTERM", "CTRL-C", ...
const char* stopSignalName();

// Ends the process as the signal that asked would have ended it, so that a
// shell or systemd sees the same status as without the orderly end (130 after
// Ctrl-C in a POSIX shell, 143 after SIGTERM; STATUS_CONTROL_C_EXIT on Windows).
[[noreturn]] void endAsStopped();

}  // namespace zek::platform
