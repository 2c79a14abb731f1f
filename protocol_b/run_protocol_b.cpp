#include "protocol_b/protocol_b.h"
void runProtocolB(ReceiveOperation) {}
