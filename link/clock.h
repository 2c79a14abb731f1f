// Waiting a fixed time.
#pragma once

void sleepMs(int milliseconds);
