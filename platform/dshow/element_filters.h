// Filters that are one GStreamer element (or a bin described in the
// pipeline syntax) with an input pin "Input" (pad sink) and an output pin
// "Output" (pad src): the overlay mixer and the decoders and converters the
// capture graph builder inserts.
#pragma once

#include <gst/gst.h>

#include <string>

#include "graph.h"

class CElementFilter : public CGraphFilterBase {
public:
    // description: one element factory name, or a chain in the pipeline
    // syntax ("a ! b"), whose first sink and last source pads become the pins.
    CElementFilter(const char* objectName, REFCLSID clsid, std::string description);
    ~CElementFilter() override;

    void* GetElement() override;

protected:
    // The element, once made.
    GstElement* Element() const { return m_pElement; }

private:
    const std::string m_description;
    GstElement* m_pElement = nullptr;
};

// A new filter of the class with one reference, or null.
IBaseFilter* MakeElementFilter(REFCLSID clsid);

// The frame converter RenderStream puts in front of an intermediate filter:
// any raw video to BGR24 at width x height (0: as it comes), turned upside
// down so that the first row in memory is the picture's bottom row.
IBaseFilter* MakeFrameConverter(int width, int height);
// Behind it: the picture turned upright again, for the renderer.
IBaseFilter* MakeDisplayConverter();

// Any raw video to any other format the next pad takes.
IBaseFilter* MakeColourConverter();

// Makes the element "orvexflip" (rows swapped in place) known to GStreamer.
void RegisterVerticalFlip();
