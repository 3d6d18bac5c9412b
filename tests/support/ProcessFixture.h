// The fixture every process test starts from: a volatile registry, the host
// classes, one fresh process object of class T, and short ways to set a
// property and run a page.
#pragma once

#include "platform/registry/Registry.h"
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>

template <class T, class Base = ::testing::Test>
class ProcessFixture : public Base {
protected:
    void SetUp() override {
        Registry::Instance().SetVolatile(true);
        EnsureHostClasses();
        CComObject<T>* object = nullptr;
        ASSERT_EQ(CComObject<T>::CreateInstance(&object), S_OK);
        process_ = object;
    }
    void Set(const char16_t* key, const CComVariant& value) {
        CComBSTR name(key);
        ASSERT_EQ(process_->put_Properties(name, value), S_OK);
    }
    HRESULT Run(IZRPage* page, VARIANT_BOOL* result = nullptr) {
        VARIANT_BOOL ignored = VARIANT_FALSE;
        return process_->Process(page, result ? result : &ignored);
    }

    CComPtr<CComObject<T>> process_;
};
