// Sends a program file unchanged.
#pragma once

// 0 when the whole file was sent, -1 when it cannot be opened or delivered.
int plainSend(const char* name);
