// libFuzzer target for the markup object: the input bytes are parsed as
// UTF-8 XML text, then the whole document is walked with the reader
// operations under a step bound. Cost per input: linear in its size times
// the bounded number of walk steps.
#include "platform/com/Bstr.h"
#include "platform/com/ComPtr.h"
#include "xml/CZRXMLMarkup.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

constexpr int kMaxSteps = 4096;

void Check(bool condition) {
    if (!condition) std::abort();
}

// Reads one BSTR answer, checks it is well formed, and frees it.
std::string Take(HRESULT hr, BSTR text) {
    Check(hr == S_OK);
    std::string utf8 = BstrToUtf8(text);
    SysFreeString(text);
    return utf8;
}

bool Flag(HRESULT hr, VARIANT_BOOL value) {
    Check(hr == S_OK && (value == VARIANT_TRUE || value == VARIANT_FALSE));
    return value == VARIANT_TRUE;
}

void Walk(IZRXMLMarkup* m, const std::uint8_t* data, std::size_t size) {
    // The first byte picks a name to search for, so FindElement both hits and misses.
    const std::string_view names[] = {"a", "b", "Process", "", "x:y"};
    const CComBSTR name(names[size ? data[0] % 5 : 0]);
    BSTR text = nullptr;
    VARIANT_BOOL flag = VARIANT_FALSE;
    LONG depth = 0;

    Take(m->GetXml(&text), text);
    for (int step = 0; step < kMaxSteps; ++step) {
        text = nullptr;
        Take(m->GetName(&text), text);
        text = nullptr;
        Take(m->GetAttribute(name, &text), text);
        Check(m->GetDepth(&depth) == S_OK && depth >= -1);
        Flag(m->IsStartElement(&flag), flag);
        Flag(m->IsEmptyElement(&flag), flag);
        if (step % 7 == 3) {
            text = nullptr;
            Take(m->GetText(&text), text);
        }
        if (step % 11 == 5) Flag(m->FindElement(name, &flag), flag);
        if (step % 13 == 6) Flag(m->FindChild(name, &flag), flag);
        if (step % 17 == 8) {
            text = nullptr;
            Take(m->GetOuterXml(&text), text);
        }
        if (!Flag(m->MoveNext(&flag), flag)) break;
    }
    Check(m->GetDepth(&depth) == S_OK);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    IZRXMLMarkup* raw = nullptr;
    Check(CreateXMLMarkup(&raw) == S_OK);
    CComPtr<IZRXMLMarkup> markup;
    markup.Attach(raw);

    const CComBSTR text(std::string_view(reinterpret_cast<const char*>(data), size));
    Check(markup->LoadXml(text) == S_OK);
    Walk(markup, data, size);

    // A second pass from the start of the same text after a reload.
    Check(markup->LoadXml(text) == S_OK);
    VARIANT_BOOL found = VARIANT_FALSE;
    Check(markup->FindElement(CComBSTR("b"), &found) == S_OK);
    Flag(markup->FindSibling(CComBSTR("a"), &found), found);
    return 0;
}
