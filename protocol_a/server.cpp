#include "protocol_a/server.h"
#include <cstdlib>
void protocolAServer() { std::exit(0); }
int serverReceiveFile(const char*) { return -1; }
