#include "app/run_settings.h"

RunSettings runSettings;
