// The waiting state of the Protocol B server.
#pragma once

// Waits for the controller's first code. A start code sets receiveMode to
// receive (with codeMode from the code); DC1 sets it to send and opens the
// link anew as the sending side.
void awaitServerRequest(const char* transferName);
