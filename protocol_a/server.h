// Protocol A server (-S).
#pragma once

[[noreturn]] void protocolAServer();

// Receives a file the controller announced. 0 on EOD, -1 otherwise.
int serverReceiveFile(const char* name);
