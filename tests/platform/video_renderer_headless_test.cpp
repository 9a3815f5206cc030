// The video renderer without a display: its window exists in name only, and
// the video is discarded at a display's pace or recorded to an AVI file that
// a decoder reads back whole.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdio>
#include <string>

#include "com/com.h"
#include "renderer_pipeline.h"
#include "win/win.h"

namespace {

class HeadlessRenderer : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { CoInitialize(nullptr); }
    void SetUp() override { SetHeadless(true); }
    void TearDown() override
    {
        SetVideoRecordFile(nullptr);
        if (!recordPath_.empty())
            if (!getenv("KEEP"))
                std::remove(recordPath_.c_str());
    }

    std::string RecordTo(const char* name)
    {
        recordPath_ = std::string(::testing::TempDir()) + name + std::to_string(getpid()) + ".avi";
        SetVideoRecordFile(recordPath_.c_str());
        return recordPath_;
    }

    struct Decoded {
        int frames = 0;
        int width = 0, height = 0;
        bool complete = false;  // the decoder reached the end without an error
    };
    // Reads the file back through a demuxer and a JPEG decoder.
    static Decoded Decode(const std::string& path)
    {
        Decoded d;
        GError* error = nullptr;
        std::string line = "filesrc location=\"" + path +
                           "\" ! avidemux ! jpegdec ! fakesink name=sink signal-handoffs=true";
        GstElement* p = gst_parse_launch(line.c_str(), &error);
        if (error) {
            ADD_FAILURE() << error->message;
            g_error_free(error);
            return d;
        }
        GstElement* sink = gst_bin_get_by_name(GST_BIN(p), "sink");
        g_signal_connect(sink, "handoff",
                         G_CALLBACK(+[](GstElement*, GstBuffer*, GstPad* pad, gpointer data) {
                             auto* d = static_cast<Decoded*>(data);
                             if (d->frames++ == 0) {
                                 GstCaps* caps = gst_pad_get_current_caps(pad);
                                 GstStructure* s = gst_caps_get_structure(caps, 0);
                                 gst_structure_get_int(s, "width", &d->width);
                                 gst_structure_get_int(s, "height", &d->height);
                                 gst_caps_unref(caps);
                             }
                         }),
                         &d);
        gst_element_set_state(p, GST_STATE_PLAYING);
        GstBus* bus = gst_element_get_bus(p);
        GstMessage* m = gst_bus_timed_pop_filtered(
            bus, 10 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
        d.complete = m && GST_MESSAGE_TYPE(m) == GST_MESSAGE_EOS;
        if (m && !d.complete)
            ADD_FAILURE() << RendererPipeline::ErrorText(m);
        if (m)
            gst_message_unref(m);
        gst_object_unref(bus);
        gst_element_set_state(p, GST_STATE_NULL);
        gst_object_unref(sink);
        gst_object_unref(p);
        return d;
    }

    std::string recordPath_;
};

TEST_F(HeadlessRenderer, IsMadeByItsClassIdAndHasOneInputPin)
{
    IBaseFilter* filter = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_VideoRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                               reinterpret_cast<void**>(&filter)),
              S_OK);
    IEnumPins* pins = nullptr;
    ASSERT_EQ(filter->EnumPins(&pins), S_OK);
    IPin* pin[2] = {};
    ULONG n = 0;
    EXPECT_EQ(pins->Next(2, pin, &n), S_FALSE);
    ASSERT_EQ(n, 1u);
    PIN_INFO info{};
    pin[0]->QueryPinInfo(&info);
    EXPECT_STREQ(info.achName, "Input");
    EXPECT_EQ(info.dir, PINDIR_INPUT);
    EXPECT_STREQ(CGraphPin::FromPin(pin[0])->PadName(), "sink");
    info.pFilter->Release();
    pin[0]->Release();
    pins->Release();
    filter->Release();
}

// Every call keeps its value and answers it back; nothing needs a display.
TEST_F(HeadlessRenderer, WindowKeepsWhatItIsTold)
{
    RendererPipeline r(64, 48);
    auto* fakeOwner = reinterpret_cast<HWND>(0x1234);
    long mode = 1, visible = 1, l, t, w, h;
    HWND owner = nullptr;
    EXPECT_EQ(r.window->get_FullScreenMode(&mode), S_OK);
    EXPECT_EQ(mode, OAFALSE);
    EXPECT_EQ(r.window->get_Visible(&visible), S_OK);
    EXPECT_EQ(visible, OAFALSE);

    EXPECT_EQ(r.window->put_Owner(fakeOwner), S_OK);
    EXPECT_EQ(r.window->put_MessageDrain(fakeOwner), S_OK);
    EXPECT_EQ(r.window->put_WindowStyle(WS_CHILD | WS_CLIPSIBLINGS), S_OK);
    EXPECT_EQ(r.window->SetWindowPosition(3, 4, 352, 289), S_OK);
    EXPECT_EQ(r.window->put_FullScreenMode(OATRUE), S_OK);
    r.window->get_Owner(&owner);
    r.window->GetWindowPosition(&l, &t, &w, &h);
    r.window->get_FullScreenMode(&mode);
    EXPECT_EQ(owner, fakeOwner);
    EXPECT_EQ((std::vector<long>{l, t, w, h}), (std::vector<long>{3, 4, 352, 289}));
    EXPECT_EQ(mode, OATRUE);
    r.window->put_FullScreenMode(OAFALSE);
    r.window->get_FullScreenMode(&mode);
    EXPECT_EQ(mode, OAFALSE);
    EXPECT_EQ(r.window->SetWindowPosition(0, 0, -1, 10), E_INVALIDARG);
}

// The renderer shows itself when it starts, unless told not to.
TEST_F(HeadlessRenderer, AutoShowMakesTheWindowVisibleOnStart)
{
    for (bool autoShow : {true, false}) {
        SCOPED_TRACE(autoShow);
        RendererPipeline r(64, 48);
        r.window->put_AutoShow(autoShow ? OATRUE : OAFALSE);
        ASSERT_TRUE(r.Play());
        ASSERT_TRUE(r.WaitFrames(2));
        long visible = 0;
        RendererPipeline::Pump(
            [&] { return r.window->get_Visible(&visible) == S_OK && visible != OAFALSE; }, 300);
        EXPECT_EQ(visible, autoShow ? OATRUE : OAFALSE);
    }
}

TEST_F(HeadlessRenderer, VideoSizeComesFromTheCapsAndIsKeptAfterStop)
{
    // A source that offers many sizes: nothing known before frames flow.
    RendererPipeline r(200, 150);
    long w = 0, h = 0;
    GstElement* caps = gst_bin_get_by_name(GST_BIN(r.pipeline), "size");
    ASSERT_NE(caps, nullptr);
    g_object_set(caps, "caps", nullptr, nullptr);
    gst_object_unref(caps);
    EXPECT_EQ(r.basic->GetVideoSize(&w, &h), VFW_E_WRONG_STATE);

    RendererPipeline fixed(200, 150);
    ASSERT_EQ(fixed.basic->GetVideoSize(&w, &h), S_OK) << "one size offered upstream";
    EXPECT_EQ(w, 200);
    EXPECT_EQ(h, 150);
    ASSERT_TRUE(r.Play());
    ASSERT_TRUE(r.WaitFrames(1));
    ASSERT_EQ(r.basic->GetVideoSize(&w, &h), S_OK);
    r.Stop();
    w = h = 0;
    ASSERT_EQ(r.basic->GetVideoSize(&w, &h), S_OK);
    EXPECT_GT(w, 0);
    EXPECT_GT(h, 0);
}

// Discarded frames still go at the frame rate, as they would to a display.
TEST_F(HeadlessRenderer, DiscardsAtTheFrameRate)
{
    RendererPipeline r(64, 48, 15, /*live=*/false);
    const gint64 start = g_get_monotonic_time();
    ASSERT_TRUE(r.Play());
    ASSERT_TRUE(r.WaitEos());
    EXPECT_EQ(r.frames.load(), 15);
    EXPECT_GE(g_get_monotonic_time() - start, 400'000) << "15 frames at 30 per second";
}

TEST_F(HeadlessRenderer, RecordsEveryFrameUpToTheEndOfStream)
{
    const std::string path = RecordTo("upto-eos");
    RendererPipeline r(320, 240, 12, /*live=*/false);
    ASSERT_TRUE(r.Play());
    ASSERT_TRUE(r.WaitEos());
    r.Stop();
    const Decoded d = Decode(path);
    EXPECT_TRUE(d.complete);
    EXPECT_EQ(d.frames, 12);
    EXPECT_EQ(d.width, 320);
    EXPECT_EQ(d.height, 240);
}

// Stopping (the pipeline to NULL) finishes the file: every frame the
// renderer showed is in it.
TEST_F(HeadlessRenderer, StopFinishesTheRecording)
{
    const std::string path = RecordTo("stop");
    RendererPipeline r(176, 144);
    ASSERT_TRUE(r.Play());
    ASSERT_TRUE(r.WaitFrames(8));
    r.Stop();
    const int got = r.frames.load();
    const Decoded d = Decode(path);
    EXPECT_TRUE(d.complete);
    // A frame still waiting for its display time when the stop came is
    // neither shown nor recorded.
    EXPECT_GE(d.frames, got - 1);
    EXPECT_LE(d.frames, got);
    EXPECT_EQ(d.width, 176);
    EXPECT_EQ(d.height, 144);
}

// Each run of the graph writes the file anew, complete at each stop.
TEST_F(HeadlessRenderer, ARestartWritesACompleteFileAgain)
{
    const std::string path = RecordTo("restart");
    RendererPipeline r(176, 144);
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        const int before = r.frames.load();
        ASSERT_TRUE(r.Play());
        ASSERT_TRUE(r.WaitFrames(before + 5));
        r.Stop();
        const Decoded d = Decode(path);
        EXPECT_TRUE(d.complete);
        EXPECT_GE(d.frames, 4);
        EXPECT_LE(d.frames, r.frames.load() - before);
    }
}

// Renderers made before the file was named, or after it was cleared,
// discard; a file that cannot be written fails the start with an error.
TEST_F(HeadlessRenderer, RecordsOnlyWhenNamedAndReportsAFileItCannotWrite)
{
    RendererPipeline before(64, 48, 5, false);
    const std::string path = RecordTo("named");
    SetVideoRecordFile(nullptr);
    RendererPipeline after(64, 48, 5, false);
    for (RendererPipeline* r : {&before, &after}) {
        ASSERT_TRUE(r->Play());
        ASSERT_TRUE(r->WaitEos());
    }
    EXPECT_NE(access(path.c_str(), F_OK), 0) << "nothing recorded";

    SetVideoRecordFile("/nonexistent-folder/video.avi");
    RendererPipeline bad(64, 48, 5, false);
    EXPECT_FALSE(bad.Play());
    std::string error;
    EXPECT_FALSE(bad.WaitEos(2000, &error));
    EXPECT_NE(error.find("/nonexistent-folder/video.avi"), std::string::npos) << error;
}

}  // namespace
