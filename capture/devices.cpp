// Capture devices and frame size: the names of the video input devices read
// at load, and the choice of one of five frame sizes nearest to the request.
#include "devices.h"

#include <cstdlib>
#include <cstring>

#include "capture_internal.h"
#include "com/com.h"

int g_nSourceCount = 0;
char* g_szSourceNames[kMaxSources] = {};
int g_nCurrentSource = 0;
int g_nRequestedWidth = 320;
int g_nRequestedHeight = 240;
int g_nFrameWidth = 0;
int g_nFrameHeight = 0;
ResolutionCandidate g_ResolutionTable[kResolutionCount] = {
    {640, 480, 0, false}, {352, 288, 0, false}, {320, 240, 0, false},
    {160, 120, 0, false}, {80, 60, 0, false},
};
IAMStreamConfig* g_pStreamConfig = nullptr;

namespace {

// A copy of at most kMaxSourceNameChars UTF-8 characters of name; a
// character is never split.
char* CopyName(const char* name)
{
    std::size_t end = 0;
    for (int chars = 0; name[end] != '\0' && chars < kMaxSourceNameChars; ++chars) {
        ++end;
        while ((static_cast<unsigned char>(name[end]) & 0xC0) == 0x80)
            ++end;
    }
    auto* copy = static_cast<char*>(std::malloc(end + 1));
    if (copy) {
        std::memcpy(copy, name, end);
        copy[end] = '\0';
    }
    return copy;
}

}  // namespace

IEnumMoniker* orvexOpenVideoInputs()
{
    ICreateDevEnum* devEnum = nullptr;
    IEnumMoniker* monikers = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_ICreateDevEnum, reinterpret_cast<void**>(&devEnum)))) {
        if (FAILED(devEnum->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &monikers, 0)))
            SafeRelease(monikers);
        devEnum->Release();
    }
    return monikers;
}

void orvexEnumerateSources()
{
    orvexFreeSources();
    IEnumMoniker* monikers = orvexOpenVideoInputs();
    if (monikers == nullptr)
        return;
    // Slot i belongs to the i-th device whether or not its name is read, so
    // that slot and device indexes agree. Devices past the tenth have no
    // slot (the host's menu has room for ten) and are not listed.
    IMoniker* moniker = nullptr;
    for (int i = 0; i < kMaxSources && monikers->Next(1, &moniker, nullptr) == S_OK; ++i) {
        IPropertyBag* bag = nullptr;
        if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag,
                                             reinterpret_cast<void**>(&bag)))) {
            VARIANT name;
            VariantInit(&name);
            if (SUCCEEDED(bag->Read("FriendlyName", &name, nullptr)) && name.vt == VT_BSTR &&
                name.bstrVal != nullptr) {
                g_szSourceNames[i] = CopyName(name.bstrVal);
                if (g_szSourceNames[i])
                    ++g_nSourceCount;
            }
            VariantClear(&name);
            bag->Release();
        }
        moniker->Release();
        moniker = nullptr;
    }
    monikers->Release();
}

void orvexFreeSources()
{
    for (char*& name : g_szSourceNames) {
        std::free(name);
        name = nullptr;
    }
    g_nSourceCount = 0;
}

bool orvexChooseResolution(AM_MEDIA_TYPE* mt)
{
    // The sizes go into a VIDEOINFOHEADER's bitmap header; any other format
    // block would be overwritten at the wrong place, so it is not touched.
    if (g_pStreamConfig == nullptr || mt == nullptr || mt->formattype != FORMAT_VideoInfo ||
        mt->pbFormat == nullptr || mt->cbFormat < sizeof(VIDEOINFOHEADER))
        return false;
    auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(mt->pbFormat);
    // Areas in 64 bits: any request orders the rows as its 32-bit area would,
    // without overflow.
    const long long area = static_cast<long long>(g_nRequestedWidth) * g_nRequestedHeight;
    long long distance[kResolutionCount];
    for (int r = 0; r < kResolutionCount; ++r) {
        ResolutionCandidate& c = g_ResolutionTable[r];
        distance[r] = std::llabs(area - static_cast<long long>(c.width) * c.height);
        c.distance = distance[r] > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(distance[r]);
        c.tried = false;
    }
    for (int attempt = 0; attempt < kResolutionCount; ++attempt) {
        int pick = -1;
        // On equal distances the later row wins.
        for (int r = 0; r < kResolutionCount; ++r)
            if (!g_ResolutionTable[r].tried && (pick < 0 || distance[r] <= distance[pick]))
                pick = r;
        ResolutionCandidate& c = g_ResolutionTable[pick];
        c.tried = true;
        vih->bmiHeader.biWidth = c.width;
        vih->bmiHeader.biHeight = c.height;
        if (SUCCEEDED(g_pStreamConfig->SetFormat(mt))) {
            g_nRequestedWidth = c.width;
            g_nRequestedHeight = c.height;
            return true;
        }
    }
    return false;
}

extern "C" {

void orvexSetResolution(int width, int height)
{
    g_nRequestedWidth = width;
    g_nRequestedHeight = height;
}

int orvexGetSourceCount() { return g_nSourceCount; }

const char* orvexGetSourceName(int index)
{
    if (index < 0 || index >= kMaxSources)
        return nullptr;
    return g_szSourceNames[index];
}

int orvexGetCurrentSource() { return g_nCurrentSource; }

}  // extern "C"
