// Protocol A client receive (-R, -RF).
#pragma once

void protocolAReceive();
