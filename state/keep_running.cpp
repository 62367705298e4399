#include "state/keep_running.h"

int32_t keepRunning = 1;
