#include "simulatedscanner.h"
