// A frame-tap filter made the way the capture library makes it: the module
// registered into a scratch registry, then CoCreateInstance by class id for
// IOrvexProxy, and the same object asked for IBaseFilter.
#pragma once

#include <gtest/gtest.h>

#include "com/com.h"
#include "dshow/filters.h"
#include "orvex_proxy.h"
#include "temp_registry.h"

class FrameTapFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        std::string module = registry_.CopyModule(PROXY_MODULE, "OrvexProxy.ax");
        ASSERT_EQ(CallRegistration(module, true), S_OK);
        ASSERT_EQ(CoCreateInstance(CLSID_OrvexProxy, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IOrvexProxy, reinterpret_cast<void**>(&proxy_)),
                  S_OK);
        ASSERT_EQ(proxy_->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&filter_)),
                  S_OK);
        base_ = static_cast<CTransInPlaceFilter*>(filter_);
    }
    void TearDown() override
    {
        ReleaseFilter();
        CoUninitialize();
    }
    void ReleaseFilter()
    {
        if (filter_)
            filter_->Release();
        if (proxy_)
            proxy_->Release();
        filter_ = nullptr;
        proxy_ = nullptr;
        base_ = nullptr;
    }

    TempRegistry registry_;
    IOrvexProxy* proxy_ = nullptr;
    IBaseFilter* filter_ = nullptr;
    CTransInPlaceFilter* base_ = nullptr;
};
