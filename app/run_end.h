// The orderly end of a run, and the exit status it ends with.
#pragma once

// Marks the run as one in which a transfer failed or was stopped, so that a
// batch file can tell it from a run that moved everything it was asked to.
void noteTransferFailed();

// Drains the link's output unless skipDrain is non-zero, writes the PROG_END
// lines, closes the log, releases the link and exits: status 0 when every
// transfer completed, 2 after noteTransferFailed.
[[noreturn]] void programEnd(int skipDrain);
