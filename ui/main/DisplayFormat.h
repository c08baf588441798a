#pragma once

// The formatting moved below the windows; the pages include it from here as before.
#include "controller/DisplayFormat.h"
