#include "support/controller.h"
