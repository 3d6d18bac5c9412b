// Fuzzes job file content as the processes and host objects read it: the
// bytes are loaded into a markup reader and every "Process" element below
// the root is loaded into a zone-capable process (page range, property bag
// and zone manager all parse their own children). Nothing may crash, leak or
// read out of bounds, whatever the text.
#include "host/CZRDocument.h"
#include "host/HostRegistration.h"
#include "platform/registry/Registry.h"
#include "processes/geometry/CZRInvert.h"
#include "processes/geometry/CZRRotate.h"
#include "xml/CZRXMLMarkup.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {
template <class T>
CComPtr<CComObject<T>> Make() {
    CComObject<T>* object = nullptr;
    if (FAILED(CComObject<T>::CreateInstance(&object))) return nullptr;
    return CComPtr<CComObject<T>>(object);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool ready = [] {
        Registry::Instance().SetVolatile(true);
        RegisterHostClasses();
        return true;
    }();
    (void)ready;
    CComPtr<IZRXMLMarkup> markup;
    if (FAILED(CreateXMLMarkup(&markup))) return 0;
    CComBSTR text(std::string_view(reinterpret_cast<const char*>(data), size));
    markup->LoadXml(text);
    int processes = 0;
    for (int step = 0; step < 20000; ++step) {
        VARIANT_BOOL start = VARIANT_FALSE;
        LONG depth = 0;
        markup->IsStartElement(&start);
        markup->GetDepth(&depth);
        CComBSTR name;
        markup->GetName(&name);
        if (start && depth == 2 && OleStrEqualNoCase(name.view(), u"Process") && processes++ < 8) {
            // Alternate a process with zones and one without.
            if (processes % 2) {
                auto invert = Make<CZRInvert>();
                if (invert) invert->LoadProperties(markup);
            } else {
                auto rotate = Make<CZRRotate>();
                if (rotate) {
                    rotate->LoadProperties(markup);
                    CComBSTR xml;
                    rotate->get_XML(&xml);
                }
            }
        }
        VARIANT_BOOL moved = VARIANT_FALSE;
        if (FAILED(markup->MoveNext(&moved)) || !moved) break;
    }
    return 0;
}
