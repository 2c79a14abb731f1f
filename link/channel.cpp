#include "link/channel.h"
int openChannel() { return 0; }
int readByte(int) { return noByte; }
int writeBytes(const unsigned char*, int) { return 0; }
int txQueueCount() { return 0; }
void drainOutput() {}
int checkLine() { return 0; }
void purgeInput() {}
void resumeOutput() {}
int openOutputFile(const char*) { return 0; }
void closeChannel() {}
