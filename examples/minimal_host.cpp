// A host in one file: loads the process module by path with dlopen, has it
// register itself, creates a process by ProgID through the registry, sets a
// property, runs the first page of an image file through it, writes the page
// and prints the process as XML. It links the COM runtime, the host objects
// and the image library, never the process classes.
//
//   minimal_host MODULE.so INPUT OUTPUT [PROGID [KEY=VALUE]]
//   minimal_host build/lib/libZRLeafmendClient91.so scan.tif out.tif ZRLeafmendClient91.Rotate.1 RotationAngle=90
#include "host/CZRDocument.h"
#include "host/HostRegistration.h"
#include "host/ProcessInterfaces.h"
#include "platform/com/Activation.h"
#include "platform/com/ComPtr.h"
#include "platform/com/ErrorInfo.h"
#include "platform/imagelib/ImageWrapper.h"
#include "platform/registry/Registry.h"

#include <dlfcn.h>

#include <cstdio>
#include <string>

namespace {
int Fail(const std::string& what, HRESULT hr) {
    std::string detail;
    CComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, &info) == S_OK && info) {
        CComBSTR description;
        info->GetDescription(&description);
        detail = ": " + description.utf8();
    }
    std::fprintf(stderr, "minimal_host: %s failed (0x%08X)%s\n", what.c_str(), static_cast<unsigned>(hr),
                 detail.c_str());
    return 1;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: minimal_host MODULE.so INPUT OUTPUT [PROGID [KEY=VALUE]]\n");
        return 2;
    }
    const std::string progId = argc > 4 ? argv[4] : "ZRLeafmendClient91.Rotate.1";
    const std::string setting = argc > 5 ? argv[5] : "RotationAngle=90";

    // The registry lives for this run only; the host's own classes come first.
    Registry::Instance().SetVolatile(true);
    RegisterHostClasses();

    void* module = ::dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        std::fprintf(stderr, "minimal_host: cannot load %s: %s\n", argv[1], ::dlerror());
        return 1;
    }
    using Export = HRESULT (*)();
    auto registerServer = reinterpret_cast<Export>(::dlsym(module, "DllRegisterServer"));
    if (!registerServer) return Fail("finding DllRegisterServer", E_FAIL);
    if (HRESULT hr = registerServer(); FAILED(hr)) return Fail("DllRegisterServer", hr);

    // ProgID -> CLSID -> InprocServer32 -> DllGetClassObject, as any host does.
    CLSID clsid{};
    const CComBSTR wideProgId(progId);
    if (HRESULT hr = CLSIDFromProgID(wideProgId, &clsid); FAILED(hr)) return Fail("CLSIDFromProgID " + progId, hr);
    CComPtr<IZRProcessEx> process;
    if (HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IZRProcessEx, reinterpret_cast<void**>(&process));
        FAILED(hr))
        return Fail("creating " + progId, hr);

    const std::size_t equals = setting.find('=');
    if (equals != std::string::npos) {
        // Sent as text: the property bag converts it to the property's declared type.
        const CComBSTR key(setting.substr(0, equals));
        const CComVariant value(setting.substr(equals + 1));
        if (HRESULT hr = process->put_Properties(key, value); FAILED(hr)) return Fail("setting " + setting, hr);
    }

    std::string error;
    const int handle = imagefile::LoadPage(argv[2], 0, &error);
    if (handle < 0) {
        std::fprintf(stderr, "minimal_host: %s: %s\n", argv[2], error.c_str());
        return 1;
    }
    CComPtr<CZRDocument> document = HostObject<IZRPageContainer>::Create<CZRDocument>();
    document->SetFilePath(argv[2]);
    CComPtr<CZRPage> page = document->AppendPage(handle);
    VARIANT_BOOL handled = VARIANT_FALSE;
    if (HRESULT hr = process->Process(page, &handled); FAILED(hr)) return Fail("Process", hr);

    const int result = page->Image()->Handle();
    if (imagefile::SavePages(argv[3], {result}, imagefile::Sniff(argv[2]), &error) < 0) {
        std::fprintf(stderr, "minimal_host: %s: %s\n", argv[3], error.c_str());
        return 1;
    }
    CComBSTR xml;
    if (HRESULT hr = process->get_XML(&xml); FAILED(hr)) return Fail("get_XML", hr);
    std::printf("%s\n", xml.utf8().c_str());
    const BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(result);
    std::fprintf(stderr, "minimal_host: %s page 1 %s: %ld x %ld, %d bits -> %s\n", argv[2],
                 handled ? "handled" : "not handled", static_cast<long>(dib->biWidth),
                 static_cast<long>(dib->biHeight), dib->biBitCount, argv[3]);
    return 0;
}
