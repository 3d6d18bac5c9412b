// Fuzzes property values as a host or a job file may set them: the bytes
// pick a process class of the catalogue, a VARIANT of some type and value for
// each of its properties (or leave the default, or add a name it does not
// know), and a small page of some depth whose pixels come from the rest of
// the bytes; the process then runs on the page and writes its XML. Failures
// are fine; crashes, leaks and out-of-bounds access are not. Cost per input:
// one process run on at most 48 x 48 pixels.
#include "framework/ClassCatalogue.h"
#include "host/CZRDocument.h"
#include "host/HostRegistration.h"
#include "platform/com/Bstr.h"
#include "platform/com/Variant.h"
#include "platform/imagelib/ImageWrapper.h"
#include "platform/registry/Registry.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    template <class T>
    T value() {
        T v{};
        std::uint8_t raw[sizeof(T)] = {};
        for (std::size_t i = 0; i < sizeof(T); ++i) raw[i] = byte();
        std::memcpy(&v, raw, sizeof v);
        return v;
    }
    std::string text() {
        const std::size_t length = byte() % 24;
        std::string s;
        for (std::size_t i = 0; i < length; ++i) s += static_cast<char>(byte());
        return s;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// One VARIANT of a type and value the bytes choose; false leaves the default.
bool MakeValue(Bytes& in, CComVariant* out) {
    VARIANT v;
    VariantInit(&v);
    switch (in.byte() % 10) {
        case 0:
            v.vt = VT_I2;
            v.iVal = in.value<SHORT>();
            break;
        case 1:
            v.vt = VT_I4;
            v.lVal = in.value<LONG>();
            break;
        case 2:
            v.vt = VT_BOOL;
            v.boolVal = in.byte() % 2 ? VARIANT_TRUE : VARIANT_FALSE;
            break;
        case 3:
            v.vt = VT_R8;
            v.dblVal = in.value<double>();
            break;
        case 4: {
            v.vt = VT_BSTR;
            v.bstrVal = Utf8ToBstr(in.text());
            break;
        }
        case 5:
            v.vt = VT_EMPTY;
            break;
        case 6:
            v.vt = VT_UI1;
            v.bVal = in.byte();
            break;
        case 7: {  // small values, where the interesting edges are
            v.vt = VT_I4;
            v.lVal = static_cast<std::int8_t>(in.byte());
            break;
        }
        default:
            return false;
    }
    out->Clear();
    *static_cast<VARIANT*>(out) = v;  // the VARIANT now owns what v held
    return true;
}

std::vector<CComBSTR> PropertyNames(IZRProcessEx* process) {
    std::vector<CComBSTR> names;
    VARIANT list;
    VariantInit(&list);
    if (FAILED(process->GetPropertyNames(&list)) || !(list.vt & VT_ARRAY) || !list.parray) {
        VariantClear(&list);
        return names;
    }
    LONG upper = -1;
    SafeArrayGetUBound(list.parray, 1, &upper);
    for (LONG i = 0; i <= upper; ++i) {
        BSTR name = nullptr;
        if (SUCCEEDED(SafeArrayGetElement(list.parray, &i, &name)) && name) {
            names.emplace_back(std::u16string_view(name, SysStringLen(name)));
            SysFreeString(name);
        }
    }
    VariantClear(&list);
    return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<const ClassEntry*> classes = [] {
        Registry::Instance().SetVolatile(true);
        RegisterHostClasses();
        std::vector<const ClassEntry*> built;
        for (const ClassEntry& entry : ClassCatalogue())
            if (entry.createFactory) built.push_back(&entry);
        return built;
    }();
    if (classes.empty()) return 0;
    Bytes in(data, size);
    const ClassEntry& entry = *classes[in.byte() % classes.size()];
    CComPtr<IClassFactory> factory;
    factory = entry.createFactory();  // a new factory starts with no references
    if (!factory) return 0;
    CComPtr<IZRProcessEx> process;
    if (FAILED(factory->CreateInstance(nullptr, IID_IZRProcessEx, reinterpret_cast<void**>(&process))) || !process)
        return 0;

    for (const CComBSTR& name : PropertyNames(process)) {
        CComVariant value;
        if (MakeValue(in, &value)) process->put_Properties(name, value);
    }
    if (in.byte() % 4 == 0) {  // a name the class does not know
        CComVariant value;
        if (MakeValue(in, &value)) process->put_Properties(CComBSTR(in.text()), value);
    }
    process->put_Mode(in.byte() % 16);

    const int bits[] = {1, 8, 24};
    const int depth = bits[in.byte() % 3];
    const int width = 1 + in.byte() % 48;
    const int height = 1 + in.byte() % 48;
    CComPtr<CZRDocument> document = HostObject<IZRPageContainer>::Create<CZRDocument>();
    const int handle = ImageWrapper::create_handle_from_scratch(width, height, depth);
    if (handle < 0) return 0;
    ImageWrapper::set_resolution(handle, in.byte() % 2 ? 300 : 0, 300);
    BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(handle);
    BYTE* pixels = dib::Bits(dib);
    const std::size_t rowBytes = (static_cast<std::size_t>(width) * static_cast<std::size_t>(depth) + 7) / 8;
    const std::size_t stride = dib::Stride(width, static_cast<WORD>(depth));
    for (int y = 0; y < height; ++y)
        for (std::size_t x = 0; x < rowBytes; ++x) pixels[static_cast<std::size_t>(y) * stride + x] = in.byte();
    document->AppendPage(handle);
    for (const auto& page : document->Pages()) {
        VARIANT_BOOL handled = VARIANT_FALSE;
        process->Process(page, &handled);
    }
    BSTR xml = nullptr;
    if (SUCCEEDED(process->get_XML(&xml))) SysFreeString(xml);
    return 0;
}
