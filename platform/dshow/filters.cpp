// CTransInPlaceFilter and its element, an in-place GstBaseTransform.
#include <gst/base/gstbasetransform.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <cstdio>
#include <exception>
#include <mutex>

#include "filters.h"
#include "gst_support.h"
#include "pins.h"

// Shared by the filter object and its element. The element owns it; the
// object detaches itself when it goes, under the lock, so that a Transform in
// progress finishes first and no later buffer reaches the object.
struct FilterLink {
    std::recursive_mutex lock;  // the receive lock
    CTransInPlaceFilter* filter = nullptr;
    bool modifiesData = true;
    bool warnedMap = false;
};

// Lets the element's callbacks reach the filter's type tests.
struct InPlaceAccess {
    static HRESULT CheckInputType(CTransInPlaceFilter* f, const CMediaType* mt)
    {
        return f->CheckInputType(mt);
    }
};

namespace {

// One mapped buffer as a sample; lives on the stack for one Transform call,
// so AddRef and Release count nothing.
class CMappedSample final : public IMediaSample {
public:
    CMappedSample(GstBuffer* buffer, const GstMapInfo& map) : m_buffer(buffer), m_map(map) {}

    HRESULT QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == nullptr)
            return E_POINTER;
        if (riid == IID_IMediaSample || riid == IID_IUnknown) {
            *ppv = static_cast<IMediaSample*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }

    HRESULT GetPointer(BYTE** buffer) override
    {
        if (buffer == nullptr)
            return E_POINTER;
        *buffer = m_map.data;
        return S_OK;
    }
    long GetSize() override { return static_cast<long>(m_map.maxsize); }
    long GetActualDataLength() override { return static_cast<long>(m_map.size); }
    HRESULT GetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) override
    {
        if (start == nullptr || end == nullptr)
            return E_POINTER;
        GstClockTime pts = GST_BUFFER_PTS(m_buffer), duration = GST_BUFFER_DURATION(m_buffer);
        if (!GST_CLOCK_TIME_IS_VALID(pts))
            return VFW_E_SAMPLE_TIME_NOT_SET;
        *start = static_cast<REFERENCE_TIME>(pts / 100);
        *end = GST_CLOCK_TIME_IS_VALID(duration)
                   ? static_cast<REFERENCE_TIME>((pts + duration) / 100)
                   : *start + 1;
        return S_OK;
    }

private:
    GstBuffer* m_buffer;
    const GstMapInfo& m_map;
};

struct OrvexInPlace {
    GstBaseTransform parent;
    FilterLink* link;
};

struct OrvexInPlaceClass {
    GstBaseTransformClass parent_class;
};

GstStaticPadTemplate g_sinkTemplate =
    GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS_ANY);
GstStaticPadTemplate g_srcTemplate =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS_ANY);

gpointer g_parentClass = nullptr;

FilterLink* LinkOf(GstBaseTransform* trans) { return reinterpret_cast<OrvexInPlace*>(trans)->link; }

// Whether the filter accepts the (possibly unfixed) structure.
bool Accepts(CTransInPlaceFilter* filter, const GstStructure* s)
{
    CMediaType mt;
    MediaTypeFromStructure(s, &mt);
    return InPlaceAccess::CheckInputType(filter, &mt) == S_OK;
}

void AppendIfAccepted(CTransInPlaceFilter* filter, GstCaps* out, GstStructure* s,
                      const GstCapsFeatures* features)
{
    if (Accepts(filter, s))
        gst_caps_append_structure_full(out, s, features ? gst_caps_features_copy(features)
                                                        : nullptr);
    else
        gst_structure_free(s);
}

// The part of caps the filter accepts. Raw video structures whose format is
// a list or is not given are split into one structure per format, so that
// the filter judges each format on its own. Buffers must be mappable, so
// only system memory passes.
GstCaps* AcceptedCaps(CTransInPlaceFilter* filter, GstCaps* caps)
{
    GstCaps* in = gst_caps_is_any(caps) ? gst_caps_from_string("video/x-raw") : gst_caps_ref(caps);
    GstCaps* out = gst_caps_new_empty();
    for (guint i = 0; i < gst_caps_get_size(in); ++i) {
        const GstStructure* s = gst_caps_get_structure(in, i);
        const GstCapsFeatures* features = gst_caps_get_features(in, i);
        if (features != nullptr && !gst_caps_features_is_any(features) &&
            !gst_caps_features_is_equal(features, GST_CAPS_FEATURES_MEMORY_SYSTEM_MEMORY))
            continue;
        const GValue* format = gst_structure_get_value(s, "format");
        if (!gst_structure_has_name(s, "video/x-raw") || (format && G_VALUE_HOLDS_STRING(format))) {
            AppendIfAccepted(filter, out, gst_structure_copy(s), features);
            continue;
        }
        if (format && GST_VALUE_HOLDS_LIST(format)) {
            for (guint k = 0; k < gst_value_list_get_size(format); ++k) {
                const GValue* one = gst_value_list_get_value(format, k);
                if (!G_VALUE_HOLDS_STRING(one))
                    continue;
                GstStructure* copy = gst_structure_copy(s);
                gst_structure_set_value(copy, "format", one);
                AppendIfAccepted(filter, out, copy, features);
            }
            continue;
        }
        if (format != nullptr)
            continue;  // a format field of another kind: nothing to judge
        guint count = 0;
        const GstVideoFormat* formats = gst_video_formats_raw(&count);
        for (guint f = 0; f < count; ++f) {
            const char* name = gst_video_format_to_string(formats[f]);
            GstStructure* copy = gst_structure_copy(s);
            gst_structure_set(copy, "format", G_TYPE_STRING, name, nullptr);
            AppendIfAccepted(filter, out, copy, features);
        }
    }
    gst_caps_unref(in);
    return out;
}

GstCaps* TransformCaps(GstBaseTransform* trans, GstPadDirection, GstCaps* caps, GstCaps* filterCaps)
{
    FilterLink* link = LinkOf(trans);
    GstCaps* out;
    {
        std::lock_guard lock(link->lock);
        out = link->filter ? AcceptedCaps(link->filter, caps) : gst_caps_ref(caps);
    }
    if (filterCaps != nullptr) {
        GstCaps* both = gst_caps_intersect_full(filterCaps, out, GST_CAPS_INTERSECT_FIRST);
        gst_caps_unref(out);
        out = both;
    }
    return out;
}

gboolean AcceptCaps(GstBaseTransform* trans, GstPadDirection direction, GstCaps* caps)
{
    FilterLink* link = LinkOf(trans);
    {
        std::lock_guard lock(link->lock);
        if (link->filter != nullptr) {
            GstCaps* accepted = AcceptedCaps(link->filter, caps);
            bool ok = !gst_caps_is_empty(accepted) && gst_caps_is_subset(caps, accepted);
            gst_caps_unref(accepted);
            if (!ok)
                return FALSE;
        }
    }
    return GST_BASE_TRANSFORM_CLASS(g_parentClass)->accept_caps(trans, direction, caps);
}

gboolean SetCaps(GstBaseTransform* trans, GstCaps* incaps, GstCaps*)
{
    FilterLink* link = LinkOf(trans);
    std::lock_guard lock(link->lock);
    if (link->filter == nullptr)
        return TRUE;
    CMediaType mt;
    MediaTypeFromStructure(gst_caps_get_structure(incaps, 0), &mt);
    return InPlaceAccess::CheckInputType(link->filter, &mt) == S_OK &&
           link->filter->CheckTransform(&mt, &mt) == S_OK;
}

GstFlowReturn TransformIp(GstBaseTransform* trans, GstBuffer* buffer)
{
    FilterLink* link = LinkOf(trans);
    std::lock_guard lock(link->lock);
    if (link->filter == nullptr)
        return GST_FLOW_OK;
    GstMapInfo map;
    GstMapFlags flags = link->modifiesData ? GST_MAP_READWRITE : GST_MAP_READ;
    if (!gst_buffer_map(buffer, &map, flags)) {
        // Not mappable: the buffer goes on untouched rather than with a
        // null address in the filter's hands.
        if (!link->warnedMap)
            GST_ELEMENT_WARNING(trans, STREAM, FAILED, (nullptr), ("cannot map buffer"));
        link->warnedMap = true;
        return GST_FLOW_OK;
    }
    CMappedSample sample(buffer, map);
    HRESULT hr;
    try {
        hr = link->filter->Transform(&sample);
    } catch (...) {
        // An exception must not unwind through GStreamer's C frames.
        hr = E_UNEXPECTED;
    }
    gst_buffer_unmap(buffer, &map);
    if (hr == S_FALSE)
        return GST_BASE_TRANSFORM_FLOW_DROPPED;
    if (FAILED(hr)) {
        GST_ELEMENT_ERROR(trans, STREAM, FAILED, (nullptr),
                          ("Transform failed (0x%x)", static_cast<unsigned>(hr)));
        return GST_FLOW_ERROR;
    }
    return GST_FLOW_OK;
}

void InstanceInit(GTypeInstance* instance, gpointer)
{
    auto* self = reinterpret_cast<OrvexInPlace*>(instance);
    self->link = new FilterLink;
    gst_base_transform_set_in_place(&self->parent, TRUE);
}

void Finalize(GObject* object)
{
    delete reinterpret_cast<OrvexInPlace*>(object)->link;
    G_OBJECT_CLASS(g_parentClass)->finalize(object);
}

void ClassInit(gpointer klass, gpointer)
{
    g_parentClass = g_type_class_peek_parent(klass);
    G_OBJECT_CLASS(klass)->finalize = Finalize;
    auto* element = GST_ELEMENT_CLASS(klass);
    gst_element_class_add_static_pad_template(element, &g_sinkTemplate);
    gst_element_class_add_static_pad_template(element, &g_srcTemplate);
    gst_element_class_set_static_metadata(element, "Orvex in-place filter", "Filter/Video",
                                          "Hands each buffer to a filter object, in place",
                                          "Orvex");
    auto* base = GST_BASE_TRANSFORM_CLASS(klass);
    base->passthrough_on_same_caps = FALSE;
    base->transform_ip_on_passthrough = TRUE;
    base->transform_caps = TransformCaps;
    base->accept_caps = AcceptCaps;
    base->set_caps = SetCaps;
    base->transform_ip = TransformIp;
}

HRESULT StateChange(void* element, GstState state)
{
    if (element == nullptr)
        return E_UNEXPECTED;
    return gst_element_set_state(GST_ELEMENT(element), state) == GST_STATE_CHANGE_FAILURE ? E_FAIL
                                                                                          : S_OK;
}

}  // namespace

bool EnsureGstreamer()
{
    static bool ok = [] {
        GError* error = nullptr;
        bool done = gst_init_check(nullptr, nullptr, &error);
        if (error)
            g_error_free(error);
        return done;
    }();
    return ok;
}

GType OrvexInPlaceGetType()
{
    static GType type = [] {
        GTypeInfo info{};
        info.class_size = sizeof(OrvexInPlaceClass);
        info.class_init = ClassInit;
        info.instance_size = sizeof(OrvexInPlace);
        info.instance_init = InstanceInit;
        return g_type_register_static(GST_TYPE_BASE_TRANSFORM, "OrvexInPlaceFilter", &info,
                                      GTypeFlags(0));
    }();
    return type;
}

CTransInPlaceFilter::CTransInPlaceFilter(const char* name, LPUNKNOWN outer, REFCLSID clsid,
                                         HRESULT* phr, bool modifiesData,
                                         ComModuleState& module)
    : CUnknown(name, outer, module),
      m_pLink(nullptr),
      m_pElement(nullptr),
      m_clsid(clsid),
      m_bDebugModule(module.debug),
      m_pPins(new CPinList)
{
    m_pPins->Add(this, "Input", PINDIR_INPUT, "sink");
    m_pPins->Add(this, "Output", PINDIR_OUTPUT, "src");
    if (!EnsureGstreamer()) {
        if (phr)
            *phr = E_FAIL;
        return;
    }
    GstElement* element = GST_ELEMENT(g_object_new(OrvexInPlaceGetType(), nullptr));
    gst_object_ref_sink(element);
    auto* trans = GST_BASE_TRANSFORM(element);
    // A filter that only reads lets buffers pass without making them
    // writable.
    gst_base_transform_set_passthrough(trans, !modifiesData);
    m_pLink = reinterpret_cast<OrvexInPlace*>(element)->link;
    {
        std::lock_guard lock(m_pLink->lock);
        m_pLink->filter = this;
        m_pLink->modifiesData = modifiesData;
    }
    m_pElement = element;
}

void CTransInPlaceFilter::DetachElement()
{
    // Waits for a Transform in progress; later buffers pass untouched.
    if (m_pLink != nullptr) {
        std::lock_guard lock(m_pLink->lock);
        m_pLink->filter = nullptr;
    }
}

void CTransInPlaceFilter::OnFinalRelease() { DetachElement(); }

CTransInPlaceFilter::~CTransInPlaceFilter()
{
    DetachElement();
    if (m_pElement != nullptr)
        gst_object_unref(m_pElement);
    delete m_pPins;
}

HRESULT CTransInPlaceFilter::NonDelegatingQueryInterface(REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    if (riid == IID_IBaseFilter || riid == IID_IMediaFilter || riid == IID_IPersist)
        return GetInterface(static_cast<IBaseFilter*>(this), ppv);
    if (riid == IID_IAMovieSetup)
        return GetInterface(static_cast<IAMovieSetup*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CTransInPlaceFilter::GetClassID(CLSID* clsid)
{
    if (clsid == nullptr)
        return E_POINTER;
    *clsid = m_clsid;
    return S_OK;
}

HRESULT CTransInPlaceFilter::Stop() { return StateChange(m_pElement, GST_STATE_READY); }
HRESULT CTransInPlaceFilter::Pause() { return StateChange(m_pElement, GST_STATE_PAUSED); }
HRESULT CTransInPlaceFilter::Run(REFERENCE_TIME) { return StateChange(m_pElement, GST_STATE_PLAYING); }

HRESULT CTransInPlaceFilter::GetState(DWORD milliseconds, FILTER_STATE* state)
{
    if (state == nullptr)
        return E_POINTER;
    if (m_pElement == nullptr)
        return E_UNEXPECTED;
    GstState current = GST_STATE_NULL;
    gst_element_get_state(GST_ELEMENT(m_pElement), &current, nullptr,
                          GstClockTime(milliseconds) * GST_MSECOND);
    *state = current == GST_STATE_PLAYING  ? State_Running
             : current == GST_STATE_PAUSED ? State_Paused
                                           : State_Stopped;
    return S_OK;
}

HRESULT CTransInPlaceFilter::JoinFilterGraph(IFilterGraph* graph, const char* name)
{
    CAutoLock lock(&m_csFilter);
    m_pGraph = graph;
    std::snprintf(m_achGraphName, sizeof m_achGraphName, "%s",
                  graph != nullptr && name != nullptr ? name : "");
    // The element keeps its name while it sits in a bin.
    if (graph != nullptr && name != nullptr && m_pElement != nullptr &&
        GST_OBJECT_PARENT(m_pElement) == nullptr)
        gst_object_set_name(GST_OBJECT(m_pElement), name);
    return S_OK;
}

void* CTransInPlaceFilter::GetElement() { return m_pElement; }

HRESULT CTransInPlaceFilter::QueryFilterInfo(FILTER_INFO* info)
{
    if (info == nullptr)
        return E_POINTER;
    CAutoLock lock(&m_csFilter);
    FillFilterInfo(info, m_achGraphName, m_pGraph);
    return S_OK;
}

HRESULT CTransInPlaceFilter::EnumPins(IEnumPins** pins) { return m_pPins->Enumerate(this, pins); }

HRESULT CTransInPlaceFilter::Register()
{
    const AMOVIESETUP_FILTER* setup = GetSetupData();
    if (setup == nullptr)
        return S_FALSE;
    return FilterMapperRegister(CLSID_LegacyAmFilterCategory, *setup);
}

HRESULT CTransInPlaceFilter::Unregister()
{
    const AMOVIESETUP_FILTER* setup = GetSetupData();
    if (setup == nullptr)
        return S_FALSE;
    HRESULT hr = FilterMapperUnregister(CLSID_LegacyAmFilterCategory, *setup->clsID);
    return hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) ? S_OK : hr;
}

HRESULT CTransInPlaceFilter::CheckTransform(const CMediaType*, const CMediaType*) { return S_OK; }

HRESULT CTransInPlaceFilter::GetMediaType(int, CMediaType*)
{
    if (m_bDebugModule)
        DbgBreak("CTransInPlaceFilter::GetMediaType should never be called");
    return E_UNEXPECTED;
}

const AMOVIESETUP_FILTER* CTransInPlaceFilter::GetSetupData() { return nullptr; }
