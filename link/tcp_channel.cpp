#include "link/link_open.h"
int openTcpClient(const char*, const char*) { return 0; }
int openTcpServer(const char*) { return 0; }
