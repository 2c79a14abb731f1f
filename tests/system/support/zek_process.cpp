#include "support/zek_process.h"
