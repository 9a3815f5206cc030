// The system device enumerator's objects, and the source elements of
// virtual devices at the size their format control holds.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "com/com.h"
#include "dshow/device_sources.h"
#include "dshow/devices.h"
#include "frame_puller.h"

namespace {

class DeviceSourcesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        gst_init(nullptr, nullptr);
        CoInitialize(nullptr);
        std::string pattern = (std::filesystem::temp_directory_path() / "orvex-src-XXXXXX").string();
        folder_ = mkdtemp(pattern.data());
        setenv("ORVEX_REAL_DEVICES", "0", 1);
    }
    void TearDown() override
    {
        unsetenv("ORVEX_VIRTUAL_DEVICES");
        std::filesystem::remove_all(folder_);
        CoUninitialize();
    }

    void Declare(const std::string& text)
    {
        const std::string path = (folder_ / "devices.txt").string();
        std::ofstream(path) << text;
        setenv("ORVEX_VIRTUAL_DEVICES", path.c_str(), 1);
    }

    IEnumMoniker* Devices()
    {
        ICreateDevEnum* devEnum = nullptr;
        EXPECT_EQ(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_ICreateDevEnum, reinterpret_cast<void**>(&devEnum)),
                  S_OK);
        IEnumMoniker* monikers = nullptr;
        devEnum->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &monikers, 0);
        devEnum->Release();
        return monikers;
    }

    std::vector<std::string> Names()
    {
        std::vector<std::string> names;
        IEnumMoniker* monikers = Devices();
        IMoniker* m = nullptr;
        while (monikers && monikers->Next(1, &m, nullptr) == S_OK) {
            IPropertyBag* bag = nullptr;
            EXPECT_EQ(m->BindToStorage(nullptr, nullptr, IID_IPropertyBag,
                                       reinterpret_cast<void**>(&bag)),
                      S_OK);
            VARIANT v;
            VariantInit(&v);
            names.push_back(SUCCEEDED(bag->Read("FriendlyName", &v, nullptr)) ? v.bstrVal
                                                                               : "(unreadable)");
            VariantClear(&v);
            bag->Release();
            m->Release();
        }
        if (monikers)
            monikers->Release();
        return names;
    }

    // The source filter of the first device, with its format control.
    IBaseFilter* FirstSource(IAMStreamConfig** config)
    {
        IEnumMoniker* monikers = Devices();
        IMoniker* m = nullptr;
        EXPECT_EQ(monikers->Next(1, &m, nullptr), S_OK);
        IBaseFilter* source = nullptr;
        EXPECT_EQ(
            m->BindToObject(nullptr, nullptr, IID_IBaseFilter, reinterpret_cast<void**>(&source)),
            S_OK);
        EXPECT_EQ(source->QueryInterface(IID_IAMStreamConfig, reinterpret_cast<void**>(config)),
                  S_OK);
        m->Release();
        monikers->Release();
        return source;
    }

    static void SetSize(IAMStreamConfig* config, int width, int height, HRESULT expected)
    {
        AM_MEDIA_TYPE* mt = nullptr;
        ASSERT_EQ(config->GetFormat(&mt), S_OK);
        auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(mt->pbFormat);
        vih->bmiHeader.biWidth = width;
        vih->bmiHeader.biHeight = height;
        EXPECT_EQ(config->SetFormat(mt), expected) << width << " x " << height;
        DeleteMediaType(mt);
    }

    std::filesystem::path folder_;
};

TEST_F(DeviceSourcesTest, EnumeratorObjects)
{
    Declare("name=One; kind=pattern\nname=Two; kind=demo; name-unreadable=yes\nname=Three; "
            "kind=pattern\n");
    EXPECT_EQ(Names(), (std::vector<std::string>{"One", "(unreadable)", "Three"}));
    EXPECT_EQ(Names(), Names());  // the same order every time

    int dummy = 0;
    auto* outer = reinterpret_cast<IUnknown*>(&dummy);  // never called: aggregation is refused
    IUnknown* unknown = outer;
    EXPECT_EQ(CoCreateInstance(CLSID_SystemDeviceEnum, outer, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&unknown)),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(unknown, nullptr);

    ICreateDevEnum* devEnum = nullptr;
    ASSERT_EQ(CreateSystemDeviceEnum(IID_ICreateDevEnum, reinterpret_cast<void**>(&devEnum)), S_OK);
    IEnumMoniker* none = reinterpret_cast<IEnumMoniker*>(&dummy);
    EXPECT_EQ(devEnum->CreateClassEnumerator(CLSID_SystemDeviceEnum, &none, 0), S_FALSE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(devEnum->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, nullptr, 0), E_POINTER);
    devEnum->Release();

    IEnumMoniker* monikers = Devices();
    IMoniker* batch[4] = {};
    EXPECT_EQ(monikers->Next(2, batch, nullptr), E_POINTER);
    ULONG fetched = 0;
    EXPECT_EQ(monikers->Next(4, batch, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 3u);
    IPropertyBag* bag = nullptr;
    ASSERT_EQ(batch[0]->BindToStorage(nullptr, nullptr, IID_IPropertyBag,
                                      reinterpret_cast<void**>(&bag)),
              S_OK);
    VARIANT v;
    VariantInit(&v);
    EXPECT_EQ(bag->Read("DevicePath", &v, nullptr), E_FAIL);
    EXPECT_EQ(bag->Read("FriendlyName", nullptr, nullptr), E_POINTER);
    bag->Release();
    for (ULONG i = 0; i < fetched; ++i)
        batch[i]->Release();
    IMoniker* again = nullptr;
    EXPECT_EQ(monikers->Next(1, &again, nullptr), S_FALSE);
    EXPECT_EQ(monikers->Reset(), S_OK);
    EXPECT_EQ(monikers->Next(1, &again, nullptr), S_OK);
    again->Release();
    monikers->Release();
}

TEST_F(DeviceSourcesTest, NoFileNoDevice)
{
    setenv("ORVEX_VIRTUAL_DEVICES", (folder_ / "missing.txt").c_str(), 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(Devices(), nullptr);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot read"), std::string::npos);
}

TEST_F(DeviceSourcesTest, SourceDeliversTheSizeItAccepted)
{
    Declare("name=Bars; kind=pattern; sizes=320x240,160x120\n");
    IAMStreamConfig* config = nullptr;
    IBaseFilter* source = FirstSource(&config);
    SetSize(config, 352, 288, VFW_E_INVALIDMEDIATYPE);
    SetSize(config, 160, 120, S_OK);
    auto* element = static_cast<GstElement*>(source->GetElement());
    ASSERT_NE(element, nullptr);
    EXPECT_EQ(source->GetElement(), element);  // made once
    {
        FramePuller puller(element, true);
        PulledFrame f;
        ASSERT_TRUE(puller.Pull(&f));
        EXPECT_EQ(f.width, 160);
        EXPECT_EQ(f.height, 120);
    }
    config->Release();
    source->Release();
}

TEST_F(DeviceSourcesTest, DemoDeviceDeliversItsSize)
{
    Declare("name=Demo; kind=demo; sizes=176x144\n");
    IAMStreamConfig* config = nullptr;
    IBaseFilter* source = FirstSource(&config);
    {
        FramePuller puller(static_cast<GstElement*>(source->GetElement()));
        PulledFrame f;
        ASSERT_TRUE(puller.Pull(&f));
        EXPECT_EQ(f.width, 176);
        EXPECT_EQ(f.height, 144);
        EXPECT_EQ(f.bytes.size(), 176u * 3 * 144);
    }
    config->Release();
    source->Release();
}

TEST_F(DeviceSourcesTest, FileDeviceIsDecodedAndScaled)
{
    const std::string clip = (folder_ / "clip.avi").string();
    const std::string make = "videotestsrc num-buffers=20 ! video/x-raw,width=64,height=48,"
                             "framerate=30/1 ! jpegenc ! avimux ! filesink location=" +
                             clip;
    GError* error = nullptr;
    GstElement* writer = gst_parse_launch(make.c_str(), &error);
    if (writer == nullptr || error) {
        if (error)
            g_error_free(error);
        if (writer)
            gst_object_unref(writer);
        GTEST_SKIP() << "no JPEG encoder or AVI muxer to make a clip with";
    }
    gst_element_set_state(writer, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(writer);
    GstMessage* done = gst_bus_timed_pop_filtered(bus, 20 * GST_SECOND,
                                                  GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(GST_MESSAGE_TYPE(done), GST_MESSAGE_EOS);
    gst_message_unref(done);
    gst_object_unref(bus);
    gst_element_set_state(writer, GST_STATE_NULL);
    gst_object_unref(writer);

    VirtualDevice d;
    d.kind = VirtualKind::File;
    d.path = clip;
    GstElement* source = MakeVirtualSourceElement(d, 80, 60);
    ASSERT_NE(source, nullptr);
    FramePuller puller(source, true);
    PulledFrame f;
    ASSERT_TRUE(puller.Pull(&f));
    EXPECT_EQ(f.width, 80);
    EXPECT_EQ(f.height, 60);
    EXPECT_EQ(f.fpsNum, 30 * f.fpsDen);
}

// A device told to fail after three frames delivers three, reports once
// that it is gone, and delivers nothing more.
TEST_F(DeviceSourcesTest, DeviceVanishesAfterItsFrames)
{
    for (VirtualKind kind : {VirtualKind::Demo, VirtualKind::Pattern}) {
        VirtualDevice d;
        d.kind = kind;
        d.failAfter = 3;
        GstElement* pipeline = gst_pipeline_new(nullptr);
        GstElement* source = MakeVirtualSourceElement(d, 64, 48);
        GstElement* sink = gst_element_factory_make("appsink", nullptr);
        ASSERT_NE(source, nullptr);
        g_object_set(sink, "sync", FALSE, "enable-last-sample", FALSE, nullptr);
        gst_bin_add_many(GST_BIN(pipeline), source, sink, nullptr);
        ASSERT_TRUE(gst_element_link(source, sink));
        gst_element_set_state(pipeline, GST_STATE_PLAYING);
        for (int n = 0; n < 3; ++n) {
            GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 10 * GST_SECOND);
            ASSERT_NE(sample, nullptr) << n;
            gst_sample_unref(sample);
        }
        GstBus* bus = gst_element_get_bus(pipeline);
        GstMessage* gone = gst_bus_timed_pop_filtered(bus, 10 * GST_SECOND, GST_MESSAGE_ERROR);
        ASSERT_NE(gone, nullptr);
        GError* error = nullptr;
        gst_message_parse_error(gone, &error, nullptr);
        EXPECT_TRUE(g_error_matches(error, GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_NOT_FOUND));
        g_error_free(error);
        gst_message_unref(gone);
        EXPECT_EQ(gst_app_sink_try_pull_sample(GST_APP_SINK(sink), GST_SECOND / 3), nullptr);
        EXPECT_EQ(gst_bus_timed_pop_filtered(bus, GST_SECOND / 3, GST_MESSAGE_ERROR), nullptr);
        gst_object_unref(bus);
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_object_unref(pipeline);
    }
}

TEST_F(DeviceSourcesTest, BadSizesMakeNoElement)
{
    VirtualDevice d;
    EXPECT_EQ(MakeVirtualSourceElement(d, 0, 240), nullptr);
    EXPECT_EQ(MakeVirtualSourceElement(d, 320, 4097), nullptr);
}

}  // namespace
