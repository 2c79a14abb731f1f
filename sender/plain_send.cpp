#include "sender/plain_send.h"
int plainSend(const char*) { return -1; }
