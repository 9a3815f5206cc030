#pragma once

#include "capture_calls.h"

// The capture library's own functions, for Capture().
CaptureCalls LibraryCaptureCalls();
