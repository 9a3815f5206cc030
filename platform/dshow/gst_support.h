// What the GStreamer side of the platform shares; never included by the
// system's own code.
#pragma once

#include <gst/gst.h>

#include "media_types.h"

// Initialises GStreamer once; false when it cannot be.
bool EnsureGstreamer();

// The media type of one caps structure (fixed or not; fields that are not
// fixed read as 0).
void MediaTypeFromStructure(const GstStructure* s, CMediaType* mt);

// The element type under CTransInPlaceFilter, registered once.
GType OrvexInPlaceGetType();
