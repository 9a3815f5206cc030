#include <cstdarg>
#include <cstdio>

#include "capture_internal.h"

int orvexReportError(const char* format, ...)
{
    // Messages are short; a longer one is cut, never overrun.
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return ShowErrorBox("Orvex - ERROR", text);
}
