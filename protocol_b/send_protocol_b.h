// The send of a Protocol B run: one program file punched out as a tape.
#pragma once

// Sends the file, framed by DC2, leader, trailer and DC4 under -t. The
// senders report their own failures; a failed send gets no end line.
void sendProtocolB(const char* name);
