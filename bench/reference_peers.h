// The references the bench measures zek against: the bench program started
// again as "zek_bench --reference KIND PORT FILE". Each connects to the
// bench on 127.0.0.1:PORT and moves the same bytes with plain, large socket
// and file calls.
#pragma once

// socket-send: sends FILE and closes. socket-read: stores every byte received
// in FILE. records-send / records-receive: the Protocol A client dialogue
// (handshake, RTD or GTD, lockstep DAT and GTD, EOD) with FILE.
// Returns the process exit status: 0 when the transfer ran to its end.
int runReferencePeer(const char* kind, const char* port, const char* file);
