// The one link of a run: a serial port, a TCP connection, or an output file
// that receives exactly the bytes a port would carry.
#pragma once

#include <cstdint>

// readByte's result when nothing came in time: outside the range of a byte.
constexpr int noByte = 255;

// Checks the speed and opens what runSettings.channelName names, releasing an
// open link first. Returns 0, or -1 when the output file cannot be created;
// every other failure that leaves no link ends the run with status 1.
int openChannel();

// One byte as a signed 8-bit value (0x80..0xFF give -128..-1), or noByte when
// none came within timeoutMs. TCP waits its own receive time-out instead.
int readByte(int timeoutMs);

// Writes a block, with the -w/-W waits on a port or file. A TCP connection
// or an output file gathers the blocks until flushOutput, a read, a drain or
// a full buffer. 0, or -1 when a write failed (now or at an earlier flush).
int writeBytes(const unsigned char* bytes, int length);

// Puts the gathered blocks on the line: 0, or -1 when a write failed.
int flushOutput();

int txQueueCount();       // bytes still waiting in the serial transmit queue
void drainOutput();       // returns when the transmit queue is empty

// 0 while the line is usable; -1 after a reported stop condition (no modem
// line, a break code from the controller while punching out, a lost link).
int checkLine();

// true when the controller's side has gone: a closed TCP connection, or a
// serial device that hung up or was removed. Says so once per link.
bool reportLostLink();

// The fresh start of an error recovery: opens the link anew, but keeps a TCP
// connection that the controller still holds.
int renewLink();

void purgeInput();        // serial port: discard every byte not yet read
void resumeOutput();      // serial port: go on as if DC1 had been received

// The output-file Channel for "-c\name". 0, or -1 when it cannot be created.
int openOutputFile(const char* channelName);

// Releases the link at the end of the run.
void closeChannel();
