#include "capture_calls.h"

CaptureCalls& Capture()
{
    static CaptureCalls calls;
    return calls;
}
