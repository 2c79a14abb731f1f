#include "protocol_a/client_receive.h"
void protocolAReceive() {}
