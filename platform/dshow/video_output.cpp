// The video renderer's element (see video_output.h).
//
// Recording goes through a pipeline of the element's own (appsrc, avimux,
// filesink), fed from an appsink at the end of the element's chain. Finishing
// a file then needs nothing of the graph's pipeline: the end of stream is
// given to appsrc, whose pipeline writes the AVI index and header on its own
// thread, whatever state the graph's elements are in (a sink blocked in
// preroll could not pass an end of stream on).
#include "video_output.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <utility>
#include <vector>

struct OutputNotice {
    bool alive = true;  // read and written on the UI thread only
    std::function<void()> started;
};

namespace {

// How long the way down waits for a recording to be written out.
constexpr GstClockTime kFinishTimeout = GST_SECOND;

// What the element keeps, for as long as it lives.
struct OutputState {
    // width << 32 | height of the last caps on the sink pad; 0 before any.
    std::atomic<std::uint64_t> size{0};
    std::string path;  // the recording's file; empty: no recording

    // The recording, between the streaming thread and state changes.
    std::mutex lock;
    GstElement* recorder = nullptr;  // its pipeline
    GstElement* appsrc = nullptr;    // in recorder
    bool ended = false;              // appsrc was given the end of stream

    std::mutex noticeLock;
    std::shared_ptr<OutputNotice> notice;
};

struct OutputBin {
    GstBin parent;
    OutputState* state;
};
struct OutputBinClass {
    GstBinClass parent;
};

gpointer g_parentClass = nullptr;

OutputState* StateOf(GstElement* element)
{
    return reinterpret_cast<OutputBin*>(element)->state;
}

bool SizeOf(const GstCaps* caps, int* width, int* height)
{
    if (caps == nullptr || gst_caps_is_any(caps) || gst_caps_get_size(caps) == 0)
        return false;
    const GstStructure* s = gst_caps_get_structure(caps, 0);
    return gst_structure_get_int(s, "width", width) && gst_structure_get_int(s, "height", height) &&
           *width > 0 && *height > 0;
}

// ---- recording ----------------------------------------------------------------

// A recording that fails (a full disk, say) fails the element, so that the
// graph hears of it.
GstBusSyncReply ForwardError(GstBus*, GstMessage* message, gpointer bin)
{
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
        GError* error = nullptr;
        gchar* debug = nullptr;
        gst_message_parse_error(message, &error, &debug);
        gst_element_post_message(GST_ELEMENT(bin),
                                 gst_message_new_error(GST_OBJECT(bin), error, debug));
        g_error_free(error);
        g_free(debug);
    }
    return GST_BUS_PASS;
}

bool StartRecording(GstElement* bin, OutputState* st)
{
    if (st->path.empty())
        return true;
    GstElement* src = gst_element_factory_make("appsrc", nullptr);
    GstElement* mux = gst_element_factory_make("avimux", nullptr);
    GstElement* sink = gst_element_factory_make("filesink", nullptr);
    if (src == nullptr || mux == nullptr || sink == nullptr) {
        for (GstElement* e : {src, mux, sink})
            if (e)
                gst_object_unref(gst_object_ref_sink(e));
        GST_ELEMENT_ERROR(bin, CORE, MISSING_PLUGIN, ("Cannot record: an encoder is missing."),
                          (nullptr));
        return false;
    }
    g_object_set(src, "format", GST_FORMAT_TIME, nullptr);
    g_object_set(sink, "location", st->path.c_str(), nullptr);
    GstElement* pipeline = gst_pipeline_new(nullptr);
    gst_bin_add_many(GST_BIN(pipeline), src, mux, sink, nullptr);
    // The muxer's video input: its audio one would take anything.
    gst_element_link_pads(src, "src", mux, "video_%u");
    gst_element_link(mux, sink);
    GstBus* bus = gst_element_get_bus(pipeline);
    gst_bus_set_sync_handler(bus, ForwardError, bin, nullptr);
    gst_object_unref(bus);
    if (gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_object_unref(pipeline);
        GST_ELEMENT_ERROR(bin, RESOURCE, OPEN_WRITE,
                          ("Cannot record the video to \"%s\".", st->path.c_str()), (nullptr));
        return false;
    }
    std::lock_guard lock(st->lock);
    st->recorder = pipeline;
    st->appsrc = src;
    st->ended = false;
    return true;
}

void FinishRecording(OutputState* st)
{
    GstElement* pipeline;
    GstElement* src;
    bool ended;
    {
        std::lock_guard lock(st->lock);
        pipeline = std::exchange(st->recorder, nullptr);
        src = std::exchange(st->appsrc, nullptr);
        ended = std::exchange(st->ended, true);
    }
    if (pipeline == nullptr)
        return;
    // The element may be on its way out: keep what follows to ourselves.
    GstBus* bus = gst_element_get_bus(pipeline);
    gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
    if (!ended)
        gst_app_src_end_of_stream(GST_APP_SRC(src));
    // avimux writes the index and the final header when the end arrives.
    GstMessage* done = gst_bus_timed_pop_filtered(
        bus, kFinishTimeout, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    if (done)
        gst_message_unref(done);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
}

GstFlowReturn OnSample(GstAppSink* appsink, gpointer data)
{
    auto* st = static_cast<OutputState*>(data);
    GstSample* sample = gst_app_sink_pull_sample(appsink);
    if (sample == nullptr)
        return GST_FLOW_OK;
    {
        std::lock_guard lock(st->lock);
        if (st->appsrc != nullptr && !st->ended)
            gst_app_src_push_sample(GST_APP_SRC(st->appsrc), sample);
    }
    gst_sample_unref(sample);
    return GST_FLOW_OK;
}

void OnEos(GstAppSink*, gpointer data)
{
    auto* st = static_cast<OutputState*>(data);
    std::lock_guard lock(st->lock);
    if (st->appsrc != nullptr && !st->ended) {
        gst_app_src_end_of_stream(GST_APP_SRC(st->appsrc));
        st->ended = true;
    }
}

// ---- the element ----------------------------------------------------------------

// Tells the UI thread that the element started. Always through the main
// context: the state change may run on any thread.
void AnnounceStart(OutputState* st)
{
    std::shared_ptr<OutputNotice> notice;
    {
        std::lock_guard lock(st->noticeLock);
        notice = st->notice;
    }
    if (!notice)
        return;
    using Held = std::shared_ptr<OutputNotice>;
    g_idle_add_full(
        G_PRIORITY_DEFAULT,
        [](gpointer data) -> gboolean {
            const Held& n = *static_cast<Held*>(data);
            if (n->alive && n->started)
                n->started();
            return G_SOURCE_REMOVE;
        },
        new Held(std::move(notice)), [](gpointer data) { delete static_cast<Held*>(data); });
}

GstStateChangeReturn ChangeState(GstElement* element, GstStateChange transition)
{
    OutputState* st = StateOf(element);
    if (transition == GST_STATE_CHANGE_READY_TO_PAUSED && !StartRecording(element, st))
        return GST_STATE_CHANGE_FAILURE;
    const GstStateChangeReturn ret =
        GST_ELEMENT_CLASS(g_parentClass)->change_state(element, transition);
    switch (transition) {
        case GST_STATE_CHANGE_READY_TO_PAUSED:
            if (ret == GST_STATE_CHANGE_FAILURE)
                FinishRecording(st);
            else
                AnnounceStart(st);
            break;
        case GST_STATE_CHANGE_PAUSED_TO_READY:
            FinishRecording(st);
            break;
        default:
            break;
    }
    return ret;
}

void InstanceInit(GTypeInstance* instance, gpointer)
{
    reinterpret_cast<OutputBin*>(instance)->state = new OutputState;
}

void Finalize(GObject* object)
{
    OutputState* st = StateOf(GST_ELEMENT(object));
    FinishRecording(st);
    delete st;
    G_OBJECT_CLASS(g_parentClass)->finalize(object);
}

void ClassInit(gpointer klass, gpointer)
{
    g_parentClass = g_type_class_peek_parent(klass);
    G_OBJECT_CLASS(klass)->finalize = Finalize;
    auto* element = GST_ELEMENT_CLASS(klass);
    element->change_state = ChangeState;
    gst_element_class_set_static_metadata(element, "Orvex video output", "Sink/Video",
                                          "Shows, discards or records raw video", "Orvex");
}

GType OutputBinType()
{
    static GType type = [] {
        GTypeInfo info{};
        info.class_size = sizeof(OutputBinClass);
        info.class_init = ClassInit;
        info.instance_size = sizeof(OutputBin);
        info.instance_init = InstanceInit;
        return g_type_register_static(GST_TYPE_BIN, "OrvexVideoOutput", &info, GTypeFlags(0));
    }();
    return type;
}

GstPadProbeReturn OnCaps(GstPad*, GstPadProbeInfo* info, gpointer data)
{
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) == GST_EVENT_CAPS) {
        GstCaps* caps = nullptr;
        gst_event_parse_caps(event, &caps);
        int width = 0, height = 0;
        if (SizeOf(caps, &width, &height))
            static_cast<OutputState*>(data)->size.store(
                (std::uint64_t(width) << 32) | std::uint32_t(height), std::memory_order_relaxed);
    }
    return GST_PAD_PROBE_OK;
}

GstElement* Make(const char* factory)
{
    return gst_element_factory_make(factory, nullptr);
}

}  // namespace

std::unique_ptr<VideoOutput> VideoOutput::Make(Kind kind, const std::string& path)
{
    std::vector<GstElement*> chain;
    switch (kind) {
        case Kind::Display:
            chain = {::Make("videoconvert"), ::Make("gtksink")};
            break;
        case Kind::Discard:
            chain = {::Make("fakesink")};
            break;
        case Kind::Record:
            chain = {::Make("videoconvert"), ::Make("jpegenc"), ::Make("appsink")};
            break;
    }
    bool all = true;
    for (GstElement* e : chain) all = all && e != nullptr;
    if (!all) {
        for (GstElement* e : chain)
            if (e)
                gst_object_unref(gst_object_ref_sink(e));
        return nullptr;
    }
    auto* bin = GST_ELEMENT(gst_object_ref_sink(g_object_new(OutputBinType(), nullptr)));
    OutputState* st = StateOf(bin);
    GstElement* last = chain.back();
    if (kind == Kind::Display) {
        // Like a window's video, the picture fills the area it is given.
        g_object_set(last, "force-aspect-ratio", FALSE, nullptr);
    } else if (kind == Kind::Discard) {
        // Frames go at the pace a display would take them.
        g_object_set(last, "sync", TRUE, nullptr);
    } else {
        st->path = path;
        g_object_set(last, "sync", TRUE, nullptr);
        GstAppSinkCallbacks callbacks{};
        callbacks.eos = OnEos;
        callbacks.new_sample = OnSample;
        gst_app_sink_set_callbacks(GST_APP_SINK(last), &callbacks, st, nullptr);
    }
    GstElement* previous = nullptr;
    for (GstElement* e : chain) {
        gst_bin_add(GST_BIN(bin), e);
        if (previous)
            gst_element_link(previous, e);
        previous = e;
    }
    GstPad* target = gst_element_get_static_pad(chain.front(), "sink");
    GstPad* ghost = gst_ghost_pad_new("sink", target);
    gst_object_unref(target);
    gst_pad_add_probe(ghost, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, OnCaps, st, nullptr);
    gst_element_add_pad(bin, ghost);

    std::unique_ptr<VideoOutput> out(new VideoOutput(bin));
    if (kind == Kind::Display)
        g_object_get(last, "widget", &out->m_widget, nullptr);
    return out;
}

VideoOutput::VideoOutput(GstElement* bin) : m_bin(bin), m_notice(std::make_shared<OutputNotice>())
{
    OutputState* st = StateOf(bin);
    std::lock_guard lock(st->noticeLock);
    st->notice = m_notice;
}

VideoOutput::~VideoOutput()
{
    m_notice->alive = false;
    {
        OutputState* st = StateOf(m_bin);
        std::lock_guard lock(st->noticeLock);
        st->notice.reset();
    }
    if (m_widget)
        g_object_unref(m_widget);
    gst_object_unref(m_bin);
}

void VideoOutput::OnStarted(std::function<void()> started)
{
    m_notice->started = std::move(started);
}

bool VideoOutput::VideoSize(int* width, int* height) const
{
    const std::uint64_t size = StateOf(m_bin)->size.load(std::memory_order_relaxed);
    if (size != 0) {
        *width = static_cast<int>(size >> 32);
        *height = static_cast<int>(size & 0xFFFFFFFFu);
        return true;
    }
    // Not negotiated yet: what upstream offers, when that is one size.
    GstPad* pad = gst_element_get_static_pad(m_bin, "sink");
    GstCaps* caps = gst_pad_peer_query_caps(pad, nullptr);
    gst_object_unref(pad);
    const bool known = SizeOf(caps, width, height);
    if (caps)
        gst_caps_unref(caps);
    return known;
}
