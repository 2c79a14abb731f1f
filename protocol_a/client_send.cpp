#include "protocol_a/client_send.h"
void protocolASend() {}
