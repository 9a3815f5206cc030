// The demo camera as a GStreamer source: a push source whose every buffer is
// one DemoCamera frame. As a live source it waits for each frame's time on
// the pipeline clock (the base source does this from get_times), so it
// delivers 30 frames a second as a camera would.
#include <gst/base/gstpushsrc.h>
#include <gst/video/video.h>

#include <memory>

#include "demo_camera.h"
#include "device_sources.h"
#include "gst_support.h"

namespace {

struct OrvexDemoSrc {
    GstPushSrc parent;
    DemoCamera* camera;  // owned; made before the element joins a pipeline
    guint64 frame;
};

struct OrvexDemoSrcClass {
    GstPushSrcClass parent;
};

GstPushSrcClass* g_parentClass = nullptr;

OrvexDemoSrc* Self(gpointer p) { return reinterpret_cast<OrvexDemoSrc*>(p); }

GstCaps* DemoCaps(OrvexDemoSrc* self)
{
    return gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGR", "width", G_TYPE_INT,
                               self->camera->Width(), "height", G_TYPE_INT,
                               self->camera->Height(), "framerate", GST_TYPE_FRACTION,
                               DemoCamera::kFps, 1, "pixel-aspect-ratio", GST_TYPE_FRACTION, 1, 1,
                               nullptr);
}

GstCaps* GetCaps(GstBaseSrc* src, GstCaps* filter)
{
    // Without a camera (an element not made by MakeDemoCameraElement) the
    // template's caps, and no frame.
    if (Self(src)->camera == nullptr)
        return gst_pad_get_pad_template_caps(GST_BASE_SRC_PAD(src));
    GstCaps* caps = DemoCaps(Self(src));
    if (filter) {
        GstCaps* both = gst_caps_intersect_full(filter, caps, GST_CAPS_INTERSECT_FIRST);
        gst_caps_unref(caps);
        caps = both;
    }
    return caps;
}

gboolean Start(GstBaseSrc* src)
{
    Self(src)->frame = 0;
    return TRUE;
}

void GetTimes(GstBaseSrc* src, GstBuffer* buffer, GstClockTime* start, GstClockTime* end)
{
    *start = *end = GST_CLOCK_TIME_NONE;
    if (gst_base_src_is_live(src) && GST_BUFFER_PTS_IS_VALID(buffer)) {
        *start = GST_BUFFER_PTS(buffer);
        *end = *start + GST_BUFFER_DURATION(buffer);
    }
}

GstFlowReturn Create(GstPushSrc* src, GstBuffer** out)
{
    OrvexDemoSrc* self = Self(src);
    if (self->camera == nullptr)
        return GST_FLOW_NOT_NEGOTIATED;
    DemoCamera& camera = *self->camera;
    // GStreamer's BGR rows are padded to 4 bytes, like the frames the game
    // sees.
    const int stride = GST_ROUND_UP_4(camera.Width() * 3);
    GstBuffer* buffer =
        gst_buffer_new_allocate(nullptr, static_cast<gsize>(stride) * camera.Height(), nullptr);
    if (buffer == nullptr)
        return GST_FLOW_ERROR;
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_WRITE)) {
        gst_buffer_unref(buffer);
        return GST_FLOW_ERROR;
    }
    camera.RenderTopDown(static_cast<std::int64_t>(self->frame), map.data, stride);
    gst_buffer_unmap(buffer, &map);
    GST_BUFFER_PTS(buffer) = gst_util_uint64_scale(self->frame, GST_SECOND, DemoCamera::kFps);
    GST_BUFFER_DURATION(buffer) =
        gst_util_uint64_scale(self->frame + 1, GST_SECOND, DemoCamera::kFps) -
        GST_BUFFER_PTS(buffer);
    GST_BUFFER_OFFSET(buffer) = self->frame;
    GST_BUFFER_OFFSET_END(buffer) = self->frame + 1;
    ++self->frame;
    *out = buffer;
    return GST_FLOW_OK;
}

void Finalize(GObject* object)
{
    delete Self(object)->camera;
    Self(object)->camera = nullptr;
    G_OBJECT_CLASS(g_parentClass)->finalize(object);
}

void ClassInit(gpointer klass, gpointer)
{
    g_parentClass = GST_PUSH_SRC_CLASS(g_type_class_peek_parent(klass));
    G_OBJECT_CLASS(klass)->finalize = Finalize;
    auto* element = GST_ELEMENT_CLASS(klass);
    gst_element_class_set_static_metadata(element, "Demo camera", "Source/Video",
                                          "A person moving in a room, by a keyframe script",
                                          "Orvex");
    static GstStaticPadTemplate srcTemplate = GST_STATIC_PAD_TEMPLATE(
        "src", GST_PAD_SRC, GST_PAD_ALWAYS,
        GST_STATIC_CAPS("video/x-raw, format=BGR, width=[1,4096], height=[1,4096], "
                        "framerate=30/1"));
    gst_element_class_add_static_pad_template(element, &srcTemplate);
    auto* base = GST_BASE_SRC_CLASS(klass);
    base->get_caps = GetCaps;
    base->start = Start;
    base->get_times = GetTimes;
    GST_PUSH_SRC_CLASS(klass)->create = Create;
}

void InstanceInit(GTypeInstance* instance, gpointer)
{
    Self(instance)->camera = nullptr;
    Self(instance)->frame = 0;
    gst_base_src_set_format(GST_BASE_SRC(instance), GST_FORMAT_TIME);
}

GType DemoSrcType()
{
    static GType type = [] {
        GTypeInfo info{};
        info.class_size = sizeof(OrvexDemoSrcClass);
        info.class_init = ClassInit;
        info.instance_size = sizeof(OrvexDemoSrc);
        info.instance_init = InstanceInit;
        return g_type_register_static(GST_TYPE_PUSH_SRC, "OrvexDemoSrc", &info, GTypeFlags(0));
    }();
    return type;
}

}  // namespace

GstElement* MakeDemoCameraElement(const std::string& scriptPath, int width, int height, bool live)
{
    if (width < 1 || height < 1 || width > kMaxVirtualFrameSide || height > kMaxVirtualFrameSide ||
        !EnsureGstreamer())
        return nullptr;
    DemoScript script;
    if (scriptPath.empty() || !LoadDemoScript(scriptPath, &script))
        script = DefaultDemoScript();
    GstElement* element = GST_ELEMENT(g_object_new(DemoSrcType(), nullptr));
    Self(element)->camera = new DemoCamera(width, height, std::move(script));
    gst_base_src_set_live(GST_BASE_SRC(element), live);
    return element;
}
