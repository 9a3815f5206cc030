// Source elements of the virtual devices.
#include "device_sources.h"

#include <atomic>

#include "gst_support.h"

namespace {

GstCaps* RawCaps(int width, int height)
{
    return gst_caps_new_simple("video/x-raw", "width", G_TYPE_INT, width, "height", G_TYPE_INT,
                               height, "framerate", GST_TYPE_FRACTION, 30, 1, nullptr);
}

// A bin of the given elements linked in a row, its last one's source pad
// ghosted as "src". Null (and everything released) when one is missing.
GstElement* Chain(std::initializer_list<GstElement*> elements)
{
    bool all = true;
    for (GstElement* e : elements)
        all = all && e != nullptr;
    if (!all) {
        for (GstElement* e : elements)
            if (e)
                gst_object_unref(gst_object_ref_sink(e));
        return nullptr;
    }
    GstElement* bin = gst_bin_new(nullptr);
    GstElement* previous = nullptr;
    for (GstElement* e : elements) {
        gst_bin_add(GST_BIN(bin), e);
        // decodebin has no source pad yet: it links from pad-added.
        if (previous)
            gst_element_link(previous, e);
        previous = e;
    }
    GstPad* pad = gst_element_get_static_pad(previous, "src");
    gst_element_add_pad(bin, gst_ghost_pad_new("src", pad));
    gst_object_unref(pad);
    return bin;
}

void LinkDecoded(GstElement*, GstPad* pad, gpointer convert)
{
    GstPad* sink = gst_element_get_static_pad(GST_ELEMENT(convert), "sink");
    if (!gst_pad_is_linked(sink)) {
        GstCaps* caps = gst_pad_get_current_caps(pad);
        if (caps == nullptr)
            caps = gst_pad_query_caps(pad, nullptr);
        const bool video = caps && gst_caps_get_size(caps) > 0 &&
                           g_str_has_prefix(gst_structure_get_name(gst_caps_get_structure(caps, 0)),
                                            "video/");
        if (caps)
            gst_caps_unref(caps);
        if (video)
            gst_pad_link(pad, sink);
    }
    gst_object_unref(sink);
}

GstElement* Capsfilter(GstCaps* caps)
{
    GstElement* f = gst_element_factory_make("capsfilter", nullptr);
    if (f)
        g_object_set(f, "caps", caps, nullptr);
    gst_caps_unref(caps);
    return f;
}

// A device told to fail: after its last frame it reports, once, that it
// has gone, as a camera pulled from its socket does, and delivers nothing
// more.
struct Vanishing {
    std::atomic<int> framesLeft;
    bool silent = false;  // stalls without a word instead
    std::atomic<bool> reported{false};
};

GstPadProbeReturn CountDown(GstPad* pad, GstPadProbeInfo*, gpointer data)
{
    auto* v = static_cast<Vanishing*>(data);
    int left = v->framesLeft.load();
    while (left > 0 && !v->framesLeft.compare_exchange_weak(left, left - 1)) {
    }
    if (left > 0)
        return GST_PAD_PROBE_OK;
    if (!v->silent && !v->reported.exchange(true)) {
        if (GstElement* element = gst_pad_get_parent_element(pad)) {
            GError* error = g_error_new_literal(GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_NOT_FOUND,
                                                "The video capture device has been removed.");
            gst_element_post_message(element,
                                     gst_message_new_error(GST_OBJECT(element), error, nullptr));
            g_error_free(error);
            gst_object_unref(element);
        }
    }
    return GST_PAD_PROBE_DROP;
}

GstElement* MakeElement(const VirtualDevice& device, int width, int height)
{
    switch (device.kind) {
        case VirtualKind::Pattern: {
            GstElement* src = gst_element_factory_make("videotestsrc", nullptr);
            if (src) {
                gst_util_set_object_arg(G_OBJECT(src), "pattern", device.pattern.c_str());
                g_object_set(src, "is-live", TRUE, nullptr);
            }
            return Chain({src, Capsfilter(RawCaps(width, height))});
        }
        case VirtualKind::File: {
            GstElement* src = gst_element_factory_make("filesrc", nullptr);
            GstElement* decode = gst_element_factory_make("decodebin", nullptr);
            GstElement* convert = gst_element_factory_make("videoconvert", nullptr);
            GstElement* scale = gst_element_factory_make("videoscale", nullptr);
            GstElement* rate = gst_element_factory_make("videorate", nullptr);
            if (src)
                g_object_set(src, "location", device.path.c_str(), nullptr);
            if (decode && convert)
                g_signal_connect(decode, "pad-added", G_CALLBACK(LinkDecoded), convert);
            return Chain({src, decode, convert, scale, rate, Capsfilter(RawCaps(width, height))});
        }
        case VirtualKind::Demo:
            return MakeDemoCameraElement(device.path, width, height, true);
    }
    return nullptr;
}

// Wraps a source so that its picture leaves on two pads: "src" (the capture
// pin) and "vp" (the video port).
GstElement* WithVideoPort(GstElement* source)
{
    GstElement* bin = gst_bin_new(nullptr);
    GstElement* tee = gst_element_factory_make("tee", nullptr);
    GstElement* capture = gst_element_factory_make("queue", nullptr);
    GstElement* port = gst_element_factory_make("queue", nullptr);
    if (tee == nullptr || capture == nullptr || port == nullptr) {
        for (GstElement* e : {source, bin, tee, capture, port})
            if (e)
                gst_object_unref(gst_object_ref_sink(e));
        return nullptr;
    }
    gst_bin_add_many(GST_BIN(bin), source, tee, capture, port, nullptr);
    gst_element_link_many(source, tee, capture, nullptr);
    gst_element_link(tee, port);
    for (auto [element, name] : {std::pair{capture, "src"}, std::pair{port, "vp"}}) {
        GstPad* pad = gst_element_get_static_pad(element, "src");
        gst_element_add_pad(bin, gst_ghost_pad_new(name, pad));
        gst_object_unref(pad);
    }
    return bin;
}

}  // namespace

GstElement* MakeVirtualSourceElement(const VirtualDevice& device, int width, int height)
{
    if (width < 1 || height < 1 || width > kMaxVirtualFrameSide || height > kMaxVirtualFrameSide ||
        !EnsureGstreamer())
        return nullptr;
    GstElement* element = MakeElement(device, width, height);
    const int lastFrame = device.failAfter > 0 ? device.failAfter : device.stallAfter;
    if (element && lastFrame > 0) {
        GstPad* pad = gst_element_get_static_pad(element, "src");
        gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, CountDown,
                          new Vanishing{lastFrame, device.failAfter == 0},
                          [](gpointer data) { delete static_cast<Vanishing*>(data); });
        gst_object_unref(pad);
    }
    // A camera that only offers Motion-JPEG.
    if (element && device.compressedOnly)
        element = Chain({element, gst_element_factory_make("jpegenc", nullptr)});
    if (element && device.videoPort)
        element = WithVideoPort(element);
    return element;
}
