// Output for a link that takes large writes best (a TCP connection, an output
// file): blocks are held and go out together, so a punch-out costs a system
// call per buffer rather than per line.
#pragma once

// Writes bytes to the link itself; false when the write failed.
using LinkWrite = bool (*)(const unsigned char* bytes, int length);

// Holds a block, writing what is held first when the block would not fit.
// false when a write failed, now or at an earlier flush.
bool gatherOutput(const unsigned char* bytes, int length, LinkWrite write);

// Writes what is held. false when this or an earlier write failed: a failure
// stays until resetGatheredOutput, so no later step can report success.
bool flushGatheredOutput(LinkWrite write);

// Forgets what is held and any failure: the link is being released.
void resetGatheredOutput();
