// Host markup object: BSTR arguments to UTF-8 and back around MarkupDocument.
#include "host/CZRHostMarkup.h"

#include "platform/win32/SystemFolders.h"

#include <cstring>
#include <new>
#include <utility>

namespace {

// Runs an operation, turning escaping exceptions into HRESULTs.
template <class Body>
HRESULT Guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

HRESULT Answer(std::string_view utf8, BSTR* out) {
    *out = Utf8ToBstr(utf8);
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT Answer(bool value, VARIANT_BOOL* out) {
    *out = value ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

// Every byte of a BSTR, odd byte counts and embedded zeros included.
HRESULT CopyBytes(BSTR source, BSTR* copy) {
    *copy = nullptr;
    if (!source) return S_OK;
    const UINT bytes = SysStringByteLen(source);
    *copy = SysAllocStringLen(nullptr, (bytes + 1) / 2);
    if (!*copy) return E_OUTOFMEMORY;
    std::memcpy(*copy, source, bytes);
    if (bytes % 2) {
        // The length prefix holds the exact byte count.
        const std::uint32_t prefix = bytes;
        std::memcpy(reinterpret_cast<unsigned char*>(*copy) - sizeof(prefix), &prefix, sizeof(prefix));
    }
    return S_OK;
}

}  // namespace

CZRHostMarkup::CZRHostMarkup() {
    document_.SetTraceSink([](const std::string& line) {
        const std::u16string text = Utf8ToUtf16(line);
        OutputDebugStringW(text.c_str());
    });
}

CZRHostMarkup::~CZRHostMarkup() { SysFreeString(tag_); }

void* CZRHostMarkup::QueryInterfaceMap(REFIID riid) {
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IZRXMLMarkup)
        return static_cast<IZRXMLMarkup*>(this);
    return nullptr;
}

HRESULT CZRHostMarkup::GetXml(BSTR* xml) {
    if (!xml) return E_POINTER;
    *xml = nullptr;
    return Guarded([&] {
        const std::optional<std::string> text = document_.Xml();
        return text ? Answer(*text, xml) : S_OK;
    });
}

HRESULT CZRHostMarkup::LoadFile(BSTR path) {
    return Guarded([&] { return document_.LoadFile(BstrToUtf8(path)) ? S_OK : E_OUTOFMEMORY; });
}

HRESULT CZRHostMarkup::LoadXml(BSTR text) {
    return Guarded([&] { return document_.LoadText(BstrToUtf8(text)) ? S_OK : E_OUTOFMEMORY; });
}

HRESULT CZRHostMarkup::NewDocument() {
    return Guarded([&] {
        document_.NewDocument();
        return S_OK;
    });
}

HRESULT CZRHostMarkup::Clear() {
    document_.Clear();
    return S_OK;
}

HRESULT CZRHostMarkup::SaveFile(BSTR path) {
    return Guarded([&] {
        document_.SaveFile(BstrToUtf8(path));
        return S_OK;
    });
}

HRESULT CZRHostMarkup::AddElement(BSTR name, BSTR text) {
    return Guarded([&] { return document_.AddElement(BstrToUtf8(name), BstrToUtf8(text)) ? S_OK : E_OUTOFMEMORY; });
}

HRESULT CZRHostMarkup::AddAttribute(BSTR name, BSTR value) {
    return Guarded([&] { return document_.AddAttribute(BstrToUtf8(name), BstrToUtf8(value)) ? S_OK : E_OUTOFMEMORY; });
}

HRESULT CZRHostMarkup::EndElement() {
    document_.EndElement();
    return S_OK;
}

HRESULT CZRHostMarkup::FindElement(BSTR name, VARIANT_BOOL* found) {
    if (!found) return E_POINTER;
    *found = VARIANT_FALSE;
    return Guarded([&] { return Answer(document_.FindElement(BstrToUtf8(name)), found); });
}

HRESULT CZRHostMarkup::GetAttribute(BSTR name, BSTR* value) {
    if (!value) return E_POINTER;
    *value = nullptr;
    return Guarded([&] { return Answer(document_.Attribute(BstrToUtf8(name)), value); });
}

HRESULT CZRHostMarkup::GetText(BSTR* text) {
    if (!text) return E_POINTER;
    *text = nullptr;
    return Guarded([&] { return Answer(document_.Text(), text); });
}

HRESULT CZRHostMarkup::GetOuterXml(BSTR* xml) {
    if (!xml) return E_POINTER;
    *xml = nullptr;
    return Guarded([&] { return Answer(document_.OuterXml(), xml); });
}

HRESULT CZRHostMarkup::AppendFile(BSTR path) {
    return Guarded([&] { return document_.AppendFile(BstrToUtf8(path)) ? S_OK : E_OUTOFMEMORY; });
}

HRESULT CZRHostMarkup::GetName(BSTR* name) {
    if (!name) return E_POINTER;
    *name = nullptr;
    return Guarded([&] { return Answer(document_.Name(), name); });
}

HRESULT CZRHostMarkup::SetTag(BSTR tag) {
    BSTR copy = nullptr;
    const HRESULT hr = CopyBytes(tag, &copy);
    if (FAILED(hr)) return hr;
    SysFreeString(std::exchange(tag_, copy));
    return S_OK;
}

HRESULT CZRHostMarkup::GetTag(BSTR* tag) {
    if (!tag) return E_POINTER;
    return CopyBytes(tag_, tag);
}

HRESULT CZRHostMarkup::IsEmptyElement(VARIANT_BOOL* empty) {
    if (!empty) return E_POINTER;
    return Answer(document_.IsEmptyElement(), empty);
}

HRESULT CZRHostMarkup::FindSibling(BSTR name, VARIANT_BOOL* found) {
    if (!found) return E_POINTER;
    *found = VARIANT_FALSE;
    return Guarded([&] { return Answer(document_.FindSibling(BstrToUtf8(name)), found); });
}

HRESULT CZRHostMarkup::FindChild(BSTR name, VARIANT_BOOL* found) {
    if (!found) return E_POINTER;
    *found = VARIANT_FALSE;
    return Guarded([&] { return Answer(document_.FindChild(BstrToUtf8(name)), found); });
}

HRESULT CZRHostMarkup::MoveNext(VARIANT_BOOL* moved) {
    if (!moved) return E_POINTER;
    *moved = VARIANT_FALSE;
    return Guarded([&] { return Answer(document_.MoveNext(), moved); });
}

HRESULT CZRHostMarkup::GetDepth(LONG* depth) {
    if (!depth) return E_POINTER;
    *depth = static_cast<LONG>(document_.Depth());
    return S_OK;
}

HRESULT CZRHostMarkup::IsStartElement(VARIANT_BOOL* start) {
    if (!start) return E_POINTER;
    return Answer(document_.IsStartElement(), start);
}
