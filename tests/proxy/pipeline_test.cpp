// The frame tap in real pipelines: a test source, the converters to
// bottom-up BGR, the tap, an app sink. The callback must see every frame
// once, on one streaming thread, in place (the sink receives the very buffer
// the callback wrote into), and callback changes must take effect from the
// next frame.
#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "proxy_fixture.h"

namespace {

constexpr std::uint64_t kMagic = 0x5041545845565230ull;

// What a callback writes at the start of the frame.
struct Mark {
    std::uint64_t magic;
    std::uint32_t index;  // the call's number
    char tag;             // which callback
};

struct CallRecord {
    char tag;
    std::thread::id thread;
    const unsigned char* frame;
};

// The callbacks are plain functions, so what they record is global. The
// lock also orders the callback's writes before the test's reads of the
// same bytes.
struct Calls {
    std::mutex lock;
    std::vector<CallRecord> records;
    IOrvexProxy* proxy = nullptr;
    std::size_t replaceAfter = 0;
} g_calls;

std::size_t Record(char tag, unsigned char* frame)
{
    std::lock_guard lock(g_calls.lock);
    Mark mark{kMagic, static_cast<std::uint32_t>(g_calls.records.size()), tag};
    std::memcpy(frame, &mark, sizeof mark);
    g_calls.records.push_back({tag, std::this_thread::get_id(), frame});
    return g_calls.records.size();
}

void CallbackA(unsigned char* frame) { Record('A', frame); }
void CallbackB(unsigned char* frame) { Record('B', frame); }
// Hands over to CallbackB from inside its own call.
void SelfReplacing(unsigned char* frame)
{
    if (Record('S', frame) == g_calls.replaceAfter)
        g_calls.proxy->SetCallback(CallbackB);
}

std::vector<CallRecord> Records()
{
    std::lock_guard lock(g_calls.lock);
    return g_calls.records;
}

struct SinkFrame {
    bool marked;
    Mark mark;
    const unsigned char* data;
    std::vector<unsigned char> bytes;  // kept when asked for
};

constexpr const char* kCameraCaps = "video/x-raw,format=I420,width=350,height=287,framerate=30/1";

// source ! caps ! videoconvert ! BGR ! videoflip ! <middle> ! appsink: the
// converters turn the camera's frames into bottom-up BGR before the tap.
class Pipeline {
public:
    Pipeline(GstElement* middle, int frames, const char* caps = kCameraCaps)
    {
        std::string description = "videotestsrc num-buffers=" + std::to_string(frames) +
                                  " pattern=ball ! " + caps +
                                  " ! videoconvert ! video/x-raw,format=BGR"
                                  " ! videoflip method=vertical-flip name=flip "
                                  "appsink name=sink sync=false max-buffers=1 "
                                  "enable-last-sample=false";
        GError* error = nullptr;
        pipeline_ = gst_parse_launch(description.c_str(), &error);
        EXPECT_EQ(error, nullptr) << (error ? error->message : "");
        if (error)
            g_error_free(error);
        gst_object_ref_sink(pipeline_);
        GstElement* flip = gst_bin_get_by_name(GST_BIN(pipeline_), "flip");
        sink_ = gst_bin_get_by_name(GST_BIN(pipeline_), "sink");
        gst_bin_add(GST_BIN(pipeline_), middle);
        EXPECT_TRUE(gst_element_link_many(flip, middle, sink_, nullptr));
        gst_object_unref(flip);
        EXPECT_NE(gst_element_set_state(pipeline_, GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    }
    ~Pipeline()
    {
        gst_element_set_state(pipeline_, GST_STATE_NULL);
        gst_object_unref(sink_);
        gst_object_unref(pipeline_);
    }

    // The next frame at the sink; false at the end of the stream.
    bool Pull(SinkFrame* frame, bool keepBytes = false)
    {
        GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink_), 20 * GST_SECOND);
        if (sample == nullptr)
            return false;
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        GstMapInfo map;
        EXPECT_TRUE(gst_buffer_map(buffer, &map, GST_MAP_READ));
        {
            std::lock_guard lock(g_calls.lock);
            std::memcpy(&frame->mark, map.data, sizeof frame->mark);
            frame->marked = frame->mark.magic == kMagic;
            frame->data = map.data;
            if (keepBytes)
                frame->bytes.assign(map.data, map.data + map.size);
        }
        gst_buffer_unmap(buffer, &map);
        gst_sample_unref(sample);
        return true;
    }

    std::vector<SinkFrame> PullAll(int limit = 1000, bool keepBytes = false)
    {
        std::vector<SinkFrame> frames;
        SinkFrame f;
        while (int(frames.size()) < limit && Pull(&f, keepBytes))
            frames.push_back(f);
        return frames;
    }

    // The first error on the bus, or "" when the stream ended cleanly.
    std::string Outcome()
    {
        GstBus* bus = gst_element_get_bus(pipeline_);
        GstMessage* m = gst_bus_timed_pop_filtered(
            bus, 20 * GST_SECOND, GstMessageType(GST_MESSAGE_ERROR | GST_MESSAGE_EOS));
        gst_object_unref(bus);
        if (m == nullptr)
            return "timeout";
        std::string outcome;
        if (GST_MESSAGE_TYPE(m) == GST_MESSAGE_ERROR) {
            GError* error = nullptr;
            gst_message_parse_error(m, &error, nullptr);
            outcome = error ? error->message : "error";
            if (error)
                g_error_free(error);
        }
        gst_message_unref(m);
        return outcome;
    }

    GstElement* Sink() { return sink_; }

private:
    GstElement* pipeline_ = nullptr;
    GstElement* sink_ = nullptr;
};

// The pixels of two 350 x 287 BGR frames match; the two bytes padding each
// row to a multiple of four are not picture and may hold anything.
bool SamePixels(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b)
{
    constexpr std::size_t kRow = 350 * 3, kStride = 1052, kHeight = 287;
    if (a.size() != kStride * kHeight || b.size() != a.size())
        return false;
    for (std::size_t y = 0; y < kHeight; ++y)
        if (std::memcmp(&a[y * kStride], &b[y * kStride], kRow) != 0)
            return false;
    return true;
}

class FrameTapPipeline : public FrameTapFixture {
protected:
    void SetUp() override
    {
        FrameTapFixture::SetUp();
        std::lock_guard lock(g_calls.lock);
        g_calls.records.clear();
        g_calls.proxy = proxy_;
        g_calls.replaceAfter = 0;
    }
    GstElement* Tap() { return static_cast<GstElement*>(filter_->GetElement()); }
};

TEST_F(FrameTapPipeline, CallbackSeesEveryFrameOnceInPlaceOnOneThread)
{
    constexpr int kFrames = 30;
    proxy_->SetCallback(CallbackA);
    Pipeline pipeline(Tap(), kFrames);
    std::vector<SinkFrame> frames = pipeline.PullAll();
    std::vector<CallRecord> calls = Records();
    ASSERT_EQ(frames.size(), std::size_t(kFrames));
    ASSERT_EQ(calls.size(), std::size_t(kFrames));
    for (int i = 0; i < kFrames; ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(frames[i].marked);
        EXPECT_EQ(frames[i].mark.index, std::uint32_t(i));  // each once, in order
        EXPECT_EQ(frames[i].mark.tag, 'A');
        EXPECT_EQ(frames[i].data, calls[i].frame);  // the same buffer: no copy
        EXPECT_EQ(calls[i].thread, calls[0].thread);
    }
    EXPECT_NE(calls[0].thread, std::this_thread::get_id());
}

TEST_F(FrameTapPipeline, TapNegotiatesBgrBehindAConverter)
{
    GstElement* pipeline = gst_parse_launch(
        "videotestsrc num-buffers=2 ! video/x-raw,format=I420,width=385,height=289 ! "
        "videoconvert name=convert fakesink name=sink", nullptr);
    ASSERT_NE(pipeline, nullptr);
    GstElement* convert = gst_bin_get_by_name(GST_BIN(pipeline), "convert");
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
    gst_bin_add(GST_BIN(pipeline), Tap());
    ASSERT_TRUE(gst_element_link_many(convert, Tap(), sink, nullptr));
    gst_element_set_state(pipeline, GST_STATE_PAUSED);
    gst_element_get_state(pipeline, nullptr, nullptr, 20 * GST_SECOND);
    GstPad* pad = gst_element_get_static_pad(Tap(), "sink");
    GstCaps* caps = gst_pad_get_current_caps(pad);
    ASSERT_NE(caps, nullptr);
    EXPECT_STREQ(gst_structure_get_string(gst_caps_get_structure(caps, 0), "format"), "BGR");
    gst_caps_unref(caps);
    gst_object_unref(pad);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(convert);
    gst_object_unref(sink);
    gst_object_unref(pipeline);
}

TEST_F(FrameTapPipeline, WithoutCallbackFramesPassUnchanged)
{
    constexpr int kFrames = 6;
    std::vector<SinkFrame> tapped, plain;
    {
        Pipeline pipeline(Tap(), kFrames);
        tapped = pipeline.PullAll(kFrames, true);
    }
    {
        Pipeline pipeline(gst_element_factory_make("identity", nullptr), kFrames);
        plain = pipeline.PullAll(kFrames, true);
    }
    ASSERT_EQ(tapped.size(), std::size_t(kFrames));
    ASSERT_EQ(plain.size(), std::size_t(kFrames));
    for (int i = 0; i < kFrames; ++i)
        EXPECT_TRUE(SamePixels(tapped[i].bytes, plain[i].bytes)) << "frame " << i;
    EXPECT_TRUE(Records().empty());
}

TEST_F(FrameTapPipeline, NullCallbackStopsCalls)
{
    constexpr int kFrames = 40;
    proxy_->SetCallback(CallbackA);
    Pipeline pipeline(Tap(), kFrames);
    std::vector<SinkFrame> frames = pipeline.PullAll(10);
    proxy_->SetCallback(nullptr);
    std::size_t callsAtSwitch = Records().size();
    std::vector<SinkFrame> rest = pipeline.PullAll();
    frames.insert(frames.end(), rest.begin(), rest.end());
    ASSERT_EQ(frames.size(), std::size_t(kFrames));
    EXPECT_EQ(Records().size(), callsAtSwitch);
    std::size_t marked = 0;
    for (const SinkFrame& f : frames)
        marked += f.marked;
    EXPECT_EQ(marked, callsAtSwitch);
    EXPECT_LT(callsAtSwitch, std::size_t(kFrames));
}

TEST_F(FrameTapPipeline, NewCallbackTakesOverFromTheNextFrame)
{
    constexpr int kFrames = 40;
    proxy_->SetCallback(CallbackA);
    Pipeline pipeline(Tap(), kFrames);
    std::vector<SinkFrame> frames = pipeline.PullAll(10);
    proxy_->SetCallback(CallbackB);
    std::size_t callsOfA = Records().size();
    std::vector<SinkFrame> rest = pipeline.PullAll();
    frames.insert(frames.end(), rest.begin(), rest.end());
    ASSERT_EQ(frames.size(), std::size_t(kFrames));
    std::vector<CallRecord> calls = Records();
    ASSERT_EQ(calls.size(), std::size_t(kFrames));  // every frame, by one or the other
    for (std::size_t i = 0; i < calls.size(); ++i)
        EXPECT_EQ(calls[i].tag, i < callsOfA ? 'A' : 'B') << i;
    for (int i = 0; i < kFrames; ++i) {
        EXPECT_TRUE(frames[i].marked);
        EXPECT_EQ(frames[i].mark.index, std::uint32_t(i));
    }
}

TEST_F(FrameTapPipeline, CallbackMaySetTheCallbackOfItsOwnFilter)
{
    constexpr int kFrames = 12;
    g_calls.replaceAfter = 5;
    proxy_->SetCallback(SelfReplacing);
    Pipeline pipeline(Tap(), kFrames);
    std::vector<SinkFrame> frames = pipeline.PullAll();
    ASSERT_EQ(frames.size(), std::size_t(kFrames));  // no deadlock
    std::vector<CallRecord> calls = Records();
    ASSERT_EQ(calls.size(), std::size_t(kFrames));
    for (int i = 0; i < kFrames; ++i)
        EXPECT_EQ(calls[i].tag, i < 5 ? 'S' : 'B') << i;
}

TEST_F(FrameTapPipeline, FilterReleasedWhileStreamingLetsFramesPass)
{
    constexpr int kFrames = 20;
    proxy_->SetCallback(CallbackA);
    Pipeline pipeline(Tap(), kFrames);  // the pipeline holds the element
    std::vector<SinkFrame> frames = pipeline.PullAll(5);
    ReleaseFilter();
    std::size_t calls = Records().size();
    std::vector<SinkFrame> rest = pipeline.PullAll();
    EXPECT_EQ(frames.size() + rest.size(), std::size_t(kFrames));
    EXPECT_EQ(Records().size(), calls);
    EXPECT_EQ(pipeline.Outcome(), "");
}

// Only BGR gets through; every other format is refused, when the pads are
// linked (the caps cannot meet) or at the latest when the stream negotiates.
TEST_F(FrameTapPipeline, OtherFormatsAreRefusedAtNegotiation)
{
    struct Case {
        const char* format;
        bool accepted;
    };
    const Case cases[] = {
        {"BGR", true},   {"RGB", false},  {"BGRx", false}, {"BGRA", false}, {"RGB16", false},
        {"RGB15", false}, {"YUY2", false}, {"I420", false}, {"NV12", false}, {"GRAY8", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        ReleaseFilter();
        ASSERT_EQ(CoCreateInstance(CLSID_OrvexProxy, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IBaseFilter, reinterpret_cast<void**>(&filter_)),
                  S_OK);
        std::string caps = std::string("video/x-raw,format=") + c.format + ",width=385,height=289";
        std::string description = "videotestsrc num-buffers=2 ! " + caps + " ! queue name=q " +
                                  "fakesink name=sink";
        GstElement* pipeline = gst_parse_launch(description.c_str(), nullptr);
        ASSERT_NE(pipeline, nullptr);
        GstElement* q = gst_bin_get_by_name(GST_BIN(pipeline), "q");
        GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
        gst_bin_add(GST_BIN(pipeline), Tap());
        bool linked = gst_element_link_many(q, Tap(), sink, nullptr);
        bool streamed = false;
        if (linked) {
            gst_element_set_state(pipeline, GST_STATE_PLAYING);
            GstBus* bus = gst_element_get_bus(pipeline);
            GstMessage* m = gst_bus_timed_pop_filtered(
                bus, 20 * GST_SECOND, GstMessageType(GST_MESSAGE_ERROR | GST_MESSAGE_EOS));
            ASSERT_NE(m, nullptr);
            streamed = GST_MESSAGE_TYPE(m) == GST_MESSAGE_EOS;
            gst_message_unref(m);
            gst_object_unref(bus);
        }
        EXPECT_EQ(streamed, c.accepted);
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_object_unref(q);
        gst_object_unref(sink);
        gst_object_unref(pipeline);
    }
}

}  // namespace
