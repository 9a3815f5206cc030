// The cameras of this machine, when it has any (skipped otherwise): each
// listed once with a name, and each accepts one of the table's sizes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>

#include "capture_internal.h"
#include "com/com.h"
#include "devices.h"

namespace {

TEST(RealDevices, ListedOnceAndAcceptingATableSize)
{
    unsetenv("ORVEX_VIRTUAL_DEVICES");
    unsetenv("ORVEX_REAL_DEVICES");
    CoInitialize(nullptr);
    orvexEnumerateSources();
    if (orvexGetSourceCount() == 0) {
        CoUninitialize();
        std::exit(77);  // no camera here
    }
    std::set<std::string> names;
    for (int i = 0; i < orvexGetSourceCount(); ++i) {
        ASSERT_NE(orvexGetSourceName(i), nullptr) << i;
        EXPECT_TRUE(names.insert(orvexGetSourceName(i)).second)
            << "listed twice: " << orvexGetSourceName(i);
    }

    ICreateDevEnum* devEnum = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                               IID_ICreateDevEnum, reinterpret_cast<void**>(&devEnum)),
              S_OK);
    IEnumMoniker* monikers = nullptr;
    ASSERT_EQ(devEnum->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &monikers, 0), S_OK);
    IMoniker* moniker = nullptr;
    while (monikers->Next(1, &moniker, nullptr) == S_OK) {
        IBaseFilter* source = nullptr;
        ASSERT_EQ(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                        reinterpret_cast<void**>(&source)),
                  S_OK);
        ASSERT_EQ(source->QueryInterface(IID_IAMStreamConfig,
                                         reinterpret_cast<void**>(&g_pStreamConfig)),
                  S_OK);
        AM_MEDIA_TYPE* mt = nullptr;
        ASSERT_EQ(g_pStreamConfig->GetFormat(&mt), S_OK);
        orvexSetResolution(352, 288);
        EXPECT_TRUE(orvexChooseResolution(mt));
        DeleteMediaType(mt);
        g_pStreamConfig->Release();
        g_pStreamConfig = nullptr;
        source->Release();
        moniker->Release();
    }
    monikers->Release();
    devEnum->Release();
    orvexFreeSources();
    CoUninitialize();
}

}  // namespace
