// The openings of the two real links, called by openChannel only.
#pragma once

// Opens and configures a serial port ("COMn" or a device path). Ends the run
// with status 1 when the port cannot be opened, except in a server that has
// had it open before: that waits for the device to come back, as it does
// after the device was lost (afterLoss).
void openSerialPort(const char* portName, bool afterLoss);

// Opens a TCP connection: as a client to host:port, or as the one-connection
// server of the -s and -S modes. Failures that leave no link end the run.
int openTcpClient(const char* host, const char* port);
int openTcpServer(const char* port);

// Closes the open serial port, output file or socket without restoring
// anything, so that openChannel can open anew.
void releaseLink();
