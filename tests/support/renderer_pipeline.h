// A plain pipeline ending in a video renderer: a test pattern of a fixed size
// into the renderer's element, with the buffers that reach the renderer
// counted. What the capture graph would build, without the graph.
#pragma once

#include <glib.h>
#include <gst/gst.h>

#include <atomic>
#include <string>

#include "dshow/graph.h"

class RendererPipeline {
  public:
    // numBuffers < 0: endless. A live source delivers at its frame rate.
    RendererPipeline(int width, int height, int numBuffers = -1, bool live = true)
    {
        gst_init(nullptr, nullptr);
        CreateVideoRenderer(IID_IBaseFilter, reinterpret_cast<void**>(&filter));
        filter->QueryInterface(IID_IVideoWindow, reinterpret_cast<void**>(&window));
        filter->QueryInterface(IID_IBasicVideo, reinterpret_cast<void**>(&basic));
        element = static_cast<GstElement*>(filter->GetElement());
        pipeline = gst_pipeline_new(nullptr);
        GstElement* src = gst_element_factory_make("videotestsrc", nullptr);
        g_object_set(src, "is-live", live, "num-buffers", numBuffers, nullptr);
        GstElement* caps = gst_element_factory_make("capsfilter", "size");
        GstCaps* c = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGR", "width",
                                         G_TYPE_INT, width, "height", G_TYPE_INT, height,
                                         "framerate", GST_TYPE_FRACTION, 30, 1, nullptr);
        g_object_set(caps, "caps", c, nullptr);
        gst_caps_unref(c);
        gst_bin_add_many(GST_BIN(pipeline), src, caps, element, nullptr);
        gst_element_link_many(src, caps, element, nullptr);
        GstPad* pad = gst_element_get_static_pad(element, "sink");
        gst_pad_add_probe(
            pad, GST_PAD_PROBE_TYPE_BUFFER,
            [](GstPad*, GstPadProbeInfo*, gpointer self) {
                static_cast<RendererPipeline*>(self)->frames++;
                return GST_PAD_PROBE_OK;
            },
            this, nullptr);
        gst_object_unref(pad);
    }
    ~RendererPipeline()
    {
        Stop();
        gst_object_unref(pipeline);
        basic->Release();
        window->Release();
        filter->Release();
    }
    RendererPipeline(const RendererPipeline&) = delete;
    RendererPipeline& operator=(const RendererPipeline&) = delete;

    // Whether the state change did not fail.
    bool Set(GstState state)
    {
        return gst_element_set_state(pipeline, state) != GST_STATE_CHANGE_FAILURE;
    }
    bool Play() { return Set(GST_STATE_PLAYING); }
    void Stop() { Set(GST_STATE_NULL); }

    // Runs the main context (as the UI thread's loop would) until done()
    // holds or ms passed.
    template <class Done>
    static bool Pump(Done done, int ms)
    {
        const gint64 end = g_get_monotonic_time() + gint64(ms) * 1000;
        while (!done()) {
            if (g_get_monotonic_time() > end)
                return false;
            if (!g_main_context_iteration(nullptr, FALSE))
                g_usleep(2000);
        }
        return true;
    }
    static void PumpFor(int ms)
    {
        Pump([] { return false; }, ms);
    }
    bool WaitFrames(int n, int ms = 5000)
    {
        return Pump([&] { return frames.load() >= n; }, ms);
    }
    // The pipeline's end of stream, or its first error's text in *error.
    bool WaitEos(int ms = 10000, std::string* error = nullptr)
    {
        GstBus* bus = gst_element_get_bus(pipeline);
        bool eos = false;
        Pump(
            [&] {
                GstMessage* m = gst_bus_pop_filtered(
                    bus, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
                if (m == nullptr)
                    return false;
                eos = GST_MESSAGE_TYPE(m) == GST_MESSAGE_EOS;
                if (!eos && error)
                    *error = ErrorText(m);
                gst_message_unref(m);
                return true;
            },
            ms);
        gst_object_unref(bus);
        return eos;
    }
    static std::string ErrorText(GstMessage* m)
    {
        GError* e = nullptr;
        gst_message_parse_error(m, &e, nullptr);
        std::string text = e ? e->message : "";
        if (e)
            g_error_free(e);
        return text;
    }

    IBaseFilter* filter = nullptr;
    IVideoWindow* window = nullptr;
    IBasicVideo* basic = nullptr;
    GstElement* element = nullptr;  // the renderer's, held by the renderer
    GstElement* pipeline = nullptr;
    std::atomic<int> frames{0};
};
