#include "partialgauge.h"
