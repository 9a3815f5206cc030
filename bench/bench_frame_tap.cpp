// Per-frame cost of the frame tap against a plain identity element: 640 x 480
// BGR buffers from a buffer pool, pushed from the benchmark thread through
// the element under test into a fakesink, so a frame's whole trip is timed.
// The frame tap is made through the registry, as the capture library makes
// it, and its callback touches the frame. BM_FrameTapNoCopy counts whether
// the buffer the sink receives is the one whose address the callback saw.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <gst/gst.h>
#include <gst/video/video.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "com/com.h"
#include "dshow/filters.h"
#include "bench_registry.h"
#include "orvex_proxy.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;

std::atomic<unsigned char*> g_lastFrame{nullptr};

void TouchFrame(unsigned char* frame)
{
    frame[0] ^= 1;
    g_lastFrame.store(frame, std::memory_order_relaxed);
}

// src pad (ours) -> element -> fakesink, all in one pipeline.
class Rig {
public:
    explicit Rig(GstElement* element)
    {
        pipeline_ = gst_pipeline_new(nullptr);
        sink_ = gst_element_factory_make("fakesink", nullptr);
        g_object_set(sink_, "sync", FALSE, "enable-last-sample", FALSE, nullptr);
        gst_bin_add_many(GST_BIN(pipeline_), element, sink_, nullptr);
        gst_element_link(element, sink_);
        src_ = gst_pad_new("src", GST_PAD_SRC);
        GstPad* sinkPad = gst_element_get_static_pad(element, "sink");
        gst_pad_set_active(src_, TRUE);
        gst_pad_link(src_, sinkPad);
        gst_object_unref(sinkPad);
        gst_element_set_state(pipeline_, GST_STATE_PLAYING);

        GstCaps* caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGR", "width",
                                            G_TYPE_INT, kWidth, "height", G_TYPE_INT, kHeight,
                                            "framerate", GST_TYPE_FRACTION, 30, 1, nullptr);
        gst_pad_push_event(src_, gst_event_new_stream_start("bench"));
        gst_pad_push_event(src_, gst_event_new_caps(caps));
        GstSegment segment;
        gst_segment_init(&segment, GST_FORMAT_TIME);
        gst_pad_push_event(src_, gst_event_new_segment(&segment));

        GstVideoInfo info;
        gst_video_info_from_caps(&info, caps);
        pool_ = gst_video_buffer_pool_new();
        GstStructure* config = gst_buffer_pool_get_config(pool_);
        gst_buffer_pool_config_set_params(config, caps, GST_VIDEO_INFO_SIZE(&info), 4, 0);
        gst_buffer_pool_set_config(pool_, config);
        gst_buffer_pool_set_active(pool_, TRUE);
        gst_caps_unref(caps);
    }
    ~Rig()
    {
        gst_pad_push_event(src_, gst_event_new_eos());
        gst_element_set_state(pipeline_, GST_STATE_NULL);
        gst_buffer_pool_set_active(pool_, FALSE);
        gst_object_unref(pool_);
        gst_object_unref(src_);
        gst_object_unref(pipeline_);
    }
    bool PushOne()
    {
        GstBuffer* buffer = nullptr;
        if (gst_buffer_pool_acquire_buffer(pool_, &buffer, nullptr) != GST_FLOW_OK)
            return false;
        GST_BUFFER_PTS(buffer) = frame_++ * (GST_SECOND / 30);
        GST_BUFFER_DURATION(buffer) = GST_SECOND / 30;
        return gst_pad_push(src_, buffer) == GST_FLOW_OK;
    }
    GstElement* Sink() { return sink_; }

private:
    GstElement* pipeline_;
    GstElement* sink_;
    GstPad* src_;
    GstBufferPool* pool_;
    GstClockTime frame_ = 0;
};

// The frame tap as the capture library gets it: by class id.
struct FrameTap {
    FrameTap()
    {
        CoInitialize(nullptr);
        if (FAILED(CoCreateInstance(CLSID_OrvexProxy, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IOrvexProxy, reinterpret_cast<void**>(&proxy))))
            std::abort();
        proxy->SetCallback(TouchFrame);
        proxy->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&filter));
    }
    ~FrameTap()
    {
        filter->Release();
        proxy->Release();
        CoUninitialize();
    }
    GstElement* Element() { return static_cast<GstElement*>(filter->GetElement()); }
    IOrvexProxy* proxy = nullptr;
    IBaseFilter* filter = nullptr;
};

void Run(benchmark::State& state, Rig& rig)
{
    for (int i = 0; i < 10; ++i)  // preroll and warm the pool
        rig.PushOne();
    for (auto _ : state)
        if (!rig.PushOne())
            state.SkipWithError("push failed");
}

void BM_Identity(benchmark::State& state)
{
    Rig rig(gst_element_factory_make("identity", nullptr));
    Run(state, rig);
}

void BM_FrameTap(benchmark::State& state)
{
    FrameTap tap;
    {
        Rig rig(tap.Element());
        Run(state, rig);
    }
}

struct NoCopyCount {
    std::int64_t frames = 0, same = 0;
};

void OnHandoff(GstElement*, GstBuffer* buffer, GstPad*, gpointer data)
{
    auto* count = static_cast<NoCopyCount*>(data);
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_READ))
        return;
    ++count->frames;
    count->same += map.data == g_lastFrame.load(std::memory_order_relaxed);
    gst_buffer_unmap(buffer, &map);
}

void BM_FrameTapNoCopy(benchmark::State& state)
{
    FrameTap tap;
    NoCopyCount count;
    {
        Rig rig(tap.Element());
        g_object_set(rig.Sink(), "signal-handoffs", TRUE, nullptr);
        g_signal_connect(rig.Sink(), "handoff", G_CALLBACK(OnHandoff), &count);
        Run(state, rig);
    }
    state.counters["frames_at_sink"] = double(count.frames);
    state.counters["same_buffer"] = double(count.same);
    state.counters["copies"] = double(count.frames - count.same);
}

BENCHMARK(BM_Identity);
BENCHMARK(BM_FrameTap);
BENCHMARK(BM_FrameTapNoCopy);

}  // namespace

int main(int argc, char** argv)
{
    gst_init(&argc, &argv);
    std::string folder = RegisterFrameTapModule(PROXY_MODULE);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(folder);
    return 0;
}
