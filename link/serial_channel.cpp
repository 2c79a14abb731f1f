#include "link/link_open.h"
void openSerialPort(const char*) {}
