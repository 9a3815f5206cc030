// The whole capture path against the source linked straight to the sink.
// Both graphs are laid out by the capture graph builder from the same demo
// camera (not paced: frames come as fast as they are drawn) into the video
// renderer (headless, not synchronised to the clock):
//   CapturePath: camera -> frame converter (BGR, flip) -> frame tap (empty
//                stack) -> display converter (flip back) -> renderer
//   Direct:      camera -> renderer
// Each iteration waits for 30 more frames at the renderer; the counters give
// frames per second and the process's CPU time per frame (every thread).
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <gst/base/gstbasesink.h>
#include <gst/gst.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "capture_internal.h"
#include "com/com.h"
#include "dshow/device_sources.h"
#include "dshow/graph.h"
#include "bench_registry.h"
#include "orvex_proxy.h"

namespace {

constexpr int kFramesPerIteration = 30;

// {3C1D2B7A-5E4F-4A18-9C61-0B7E2F8D4A53}
constexpr CLSID CLSID_BenchCamera{0x3C1D2B7A, 0x5E4F, 0x4A18,
                                  {0x9C, 0x61, 0x0B, 0x7E, 0x2F, 0x8D, 0x4A, 0x53}};

// The demo camera as a capture source that delivers as fast as it draws.
class CBenchCamera final : public CGraphFilterBase {
public:
    CBenchCamera(int width, int height) : CGraphFilterBase("Bench camera", CLSID_BenchCamera)
    {
        m_pins.Add(this, "Capture", PINDIR_OUTPUT, "src", PIN_CATEGORY_CAPTURE);
        m_element = GST_ELEMENT(gst_object_ref_sink(MakeDemoCameraElement("", width, height, false)));
    }
    ~CBenchCamera() override
    {
        m_pins.DisconnectAll();
        gst_object_unref(m_element);
    }
    void* GetElement() override { return m_element; }

private:
    GstElement* m_element;
};

double ProcessCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

GstPadProbeReturn CountFrame(GstPad*, GstPadProbeInfo*, gpointer counter)
{
    static_cast<std::atomic<long>*>(counter)->fetch_add(1, std::memory_order_relaxed);
    return GST_PAD_PROBE_OK;
}

// Renderers here run flat out.
void Unsynchronise(GstElement* pipeline)
{
    GstIterator* it = gst_bin_iterate_recurse(GST_BIN(pipeline));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        auto* e = GST_ELEMENT(g_value_get_object(&item));
        if (GST_IS_BASE_SINK(e))
            g_object_set(e, "sync", FALSE, nullptr);
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
}

void RunGraph(benchmark::State& state, bool withFrameTap)
{
    const int width = int(state.range(0)), height = int(state.range(1));
    orvexSetImageGeometry(width, height);
    IGraphBuilder* graph = nullptr;
    ICaptureGraphBuilder2* builder = nullptr;
    IBaseFilter* renderer = nullptr;
    IOrvexProxy* proxy = nullptr;
    IBaseFilter* tap = nullptr;
    auto* camera = new CBenchCamera(width, height);
    camera->NonDelegatingAddRef();
    CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                     reinterpret_cast<void**>(&graph));
    CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                     IID_ICaptureGraphBuilder2, reinterpret_cast<void**>(&builder));
    CoCreateInstance(CLSID_VideoRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                     reinterpret_cast<void**>(&renderer));
    builder->SetFiltergraph(graph);
    graph->AddFilter(camera, "Video Capture");
    graph->AddFilter(renderer, "Video Renderer");
    if (withFrameTap) {
        if (FAILED(CoCreateInstance(CLSID_OrvexProxy, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IOrvexProxy, reinterpret_cast<void**>(&proxy))))
            std::abort();
        proxy->SetCallback(orvexDispatchFrame);
        proxy->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&tap));
        graph->AddFilter(tap, "OrvexProxy Filter");
    }
    if (FAILED(builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, camera, tap,
                                     renderer))) {
        state.SkipWithError("RenderStream failed");
    } else {
        auto* sinkElement = static_cast<GstElement*>(renderer->GetElement());
        Unsynchronise(GST_ELEMENT(GST_OBJECT_PARENT(sinkElement)));
        std::atomic<long> frames{0};
        GstPad* pad = gst_element_get_static_pad(sinkElement, "sink");
        gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, CountFrame, &frames, nullptr);
        gst_object_unref(pad);

        IMediaControl* control = nullptr;
        graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control));
        control->Run();
        while (frames.load() < 10)  // warm up
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        const long first = frames.load();
        const double cpu0 = ProcessCpuSeconds();
        long target = first;
        for (auto _ : state) {
            target += kFramesPerIteration;
            while (frames.load(std::memory_order_relaxed) < target)
                std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        const double cpu = ProcessCpuSeconds() - cpu0;
        const long done = frames.load() - first;
        control->Stop();
        control->Release();
        state.counters["fps"] = benchmark::Counter(double(done), benchmark::Counter::kIsRate);
        state.counters["cpu_us_per_frame"] = cpu * 1e6 / double(done);
    }
    SafeRelease(tap);
    SafeRelease(proxy);
    SafeRelease(renderer);
    SafeRelease(builder);
    SafeRelease(graph);
    camera->NonDelegatingRelease();
}

void BM_Direct(benchmark::State& state) { RunGraph(state, false); }
void BM_CapturePath(benchmark::State& state) { RunGraph(state, true); }

// Interleaved, so that both see the same machine.
BENCHMARK(BM_Direct)->Args({352, 288})->UseRealTime()->MinTime(3);
BENCHMARK(BM_CapturePath)->Args({352, 288})->UseRealTime()->MinTime(3);
BENCHMARK(BM_Direct)->Args({640, 480})->UseRealTime()->MinTime(3);
BENCHMARK(BM_CapturePath)->Args({640, 480})->UseRealTime()->MinTime(3);

}  // namespace

int main(int argc, char** argv)
{
    gst_init(&argc, &argv);
    setenv("ORVEX_REAL_DEVICES", "0", 1);
    RegisterFrameTapModule(PROXY_MODULE);
    CoInitialize(nullptr);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
