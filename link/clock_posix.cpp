#include "link/clock.h"
void sleepMs(int) {}
