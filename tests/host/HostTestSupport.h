// Helpers for the host object tests: fresh objects, and saving or loading an
// object's XML through the host's own markup object.
#pragma once

#include "host/HostMarkup.h"
#include "host/HostObject.h"
#include "platform/com/ErrorInfo.h"

#include <gtest/gtest.h>

#include <string>

template <class T, class Interface>
CComPtr<T> Make() {
    return HostObject<Interface>::template Create<T>();
}

inline CComPtr<IZRXMLMarkup> NewMarkup() {
    CComPtr<IZRXMLMarkup> markup;
    EXPECT_EQ(CreateHostMarkup(&markup), S_OK);
    return markup;
}

// The XML of `object` saved inside a "Process" element, as a process saves it.
template <class T>
std::string SavedXml(T* object) {
    CComPtr<IZRXMLMarkup> markup = NewMarkup();
    CComBSTR process(u"Process"), empty(u"");
    markup->AddElement(process, empty);
    EXPECT_EQ(object->SaveProperties(markup), S_OK);
    markup->EndElement();
    CComBSTR xml;
    markup->GetXml(&xml);
    return xml.utf8();
}

// A reader over `xml` standing on the start of the first element named `tag`.
inline CComPtr<IZRXMLMarkup> ReaderAt(const std::string& xml, const char* tag) {
    CComPtr<IZRXMLMarkup> markup = NewMarkup();
    CComBSTR text(xml), name(tag);
    EXPECT_EQ(markup->LoadXml(text), S_OK);
    VARIANT_BOOL found = VARIANT_FALSE;
    markup->FindElement(name, &found);
    EXPECT_EQ(found, VARIANT_TRUE) << tag << " in " << xml;
    return markup;
}

inline std::string TakeErrorText() {
    CComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, &info) != S_OK || !info) return {};
    CComBSTR description;
    info->GetDescription(&description);
    return description.utf8();
}
