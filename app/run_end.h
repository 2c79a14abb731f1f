// The orderly end of a run.
#pragma once

// Drains the link's output unless skipDrain is non-zero, writes the PROG_END
// lines, closes the log, releases the link and exits with status 0.
[[noreturn]] void programEnd(int skipDrain);
