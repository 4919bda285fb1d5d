// The runtime module's stand-in for the binding library: see Calls.h.
#pragma once
#include "../Calls.h"
