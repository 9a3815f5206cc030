// Argument checks shared by the primitives: every function answers a bad
// region or step with a status instead of touching memory.
#pragma once

#include <cstdlib>

#include "ipp.h"

namespace ipp_checks {

// A region must be non-empty, and each row step must hold a row of the region.
inline IppStatus Region(IppiSize roi, int step, int bytesPerPixel)
{
    if (roi.width < 1 || roi.height < 1)
        return ippStsSizeErr;
    // In 64 bits: a huge width must not wrap round and pass.
    if (static_cast<long long>(step) < static_cast<long long>(roi.width) * bytesPerPixel)
        return ippStsStepErr;
    return ippStsNoErr;
}

inline IppStatus Region(IppiSize roi, int step1, int bytes1, int step2, int bytes2)
{
    IppStatus s = Region(roi, step1, bytes1);
    return s != ippStsNoErr ? s : Region(roi, step2, bytes2);
}

}  // namespace ipp_checks
