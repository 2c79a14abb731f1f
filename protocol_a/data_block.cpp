#include "protocol_a/data_block.h"
char dataBlock[dataBlockCapacity];
int dataBlockLength = 0;
void clearDataBlock() {}
void appendDataBlock(const char*) {}
int sendDataBlock() { return -1; }
