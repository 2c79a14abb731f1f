#include "link/progress.h"
void advanceProgress(int32_t) {}
void showKilobyteProgress(int32_t) {}
void resetFileProgress() {}
void resetProgress() {}
