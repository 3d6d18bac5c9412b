// The module as a host meets it: dlopen, the four exports, registration,
// creation by ProgID, aggregation and the unload rule.
#include "host/CZRDocument.h"
#include "host/HostMarkup.h"
#include "host/HostRegistration.h"
#include "platform/com/Activation.h"
#include "platform/com/ErrorInfo.h"
#include "platform/imagelib/ImageWrapper.h"
#include "platform/registry/Registry.h"

#include <dlfcn.h>

#include <cstring>
#include <gtest/gtest.h>

namespace {

constexpr CLSID kRotate = MakeGuid("{E8B04618-37C3-4C9F-94F5-7263784CAF0D}");
constexpr CLSID kPhotoCorrection = MakeGuid("{65DB30CF-A70C-42D2-905F-D7512F5B7020}");

struct Module {
    Module() {
        handle = ::dlopen(MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
        getClassObject = reinterpret_cast<decltype(getClassObject)>(::dlsym(handle, "DllGetClassObject"));
        canUnloadNow = reinterpret_cast<decltype(canUnloadNow)>(::dlsym(handle, "DllCanUnloadNow"));
        registerServer = reinterpret_cast<decltype(registerServer)>(::dlsym(handle, "DllRegisterServer"));
        unregisterServer = reinterpret_cast<decltype(unregisterServer)>(::dlsym(handle, "DllUnregisterServer"));
    }
    void* handle;
    HRESULT (*getClassObject)(REFCLSID, REFIID, void**);
    HRESULT (*canUnloadNow)();
    HRESULT (*registerServer)();
    HRESULT (*unregisterServer)();
};

Module& TheModule() {
    static Module module;
    return module;
}

class ModuleTest : public ::testing::Test {
protected:
    void SetUp() override {
        Registry::Instance().SetVolatile(true);
        RegisterHostClasses();
        ASSERT_NE(TheModule().handle, nullptr) << ::dlerror();
        ASSERT_EQ(TheModule().registerServer(), S_OK);
    }
};

TEST_F(ModuleTest, ExportsExactlyTheFourFunctions) {
    Module& m = TheModule();
    EXPECT_NE(m.getClassObject, nullptr);
    EXPECT_NE(m.canUnloadNow, nullptr);
    EXPECT_NE(m.registerServer, nullptr);
    EXPECT_NE(m.unregisterServer, nullptr);
    EXPECT_EQ(::dlsym(m.handle, "CreateXMLMarkup"), nullptr);
    EXPECT_EQ(::dlsym(m.handle, "_ZN9CZRRotate7ProcessEP7IZRPagePs"), nullptr);
}

TEST_F(ModuleTest, UnknownAndUnbuiltClassesAreNotAvailable) {
    CComPtr<IClassFactory> factory;
    EXPECT_EQ(TheModule().getClassObject(kPhotoCorrection, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(TheModule().getClassObject(GUID_NULL, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              CLASS_E_CLASSNOTAVAILABLE);
}

TEST_F(ModuleTest, RegistrationResolvesProgIdsThroughCurVer) {
    CLSID clsid;
    const std::u16string independent = u"ZRLeafmendClient91.Rotate";
    ASSERT_EQ(CLSIDFromProgID(independent.c_str(), &clsid), S_OK);
    EXPECT_EQ(clsid, kRotate);
    Registry& registry = Registry::Instance();
    EXPECT_EQ(registry.GetString("ZRLeafmendClient91.Rotate\\CurVer", ""), "ZRLeafmendClient91.Rotate.1");
    const std::string key = "CLSID\\" + GuidToString(kRotate);
    EXPECT_EQ(registry.GetString(key + "\\InprocServer32", "ThreadingModel"), "Both");
    EXPECT_EQ(registry.GetString(key, ""), "ZRRotate Class");
    EXPECT_EQ(registry.GetString(key + "\\Version", ""), "1.0");
    LPOLESTR progId = nullptr;
    ASSERT_EQ(ProgIDFromCLSID(kRotate, &progId), S_OK);
    EXPECT_EQ(std::u16string(progId), u"ZRLeafmendClient91.Rotate.1");
    CoTaskMemFree(progId);
}

TEST_F(ModuleTest, UnregisterKeepsRootsAndRemovesClassKeys) {
    ASSERT_EQ(TheModule().unregisterServer(), S_OK);
    Registry& registry = Registry::Instance();
    EXPECT_FALSE(registry.KeyExists("CLSID\\" + GuidToString(kRotate)));
    EXPECT_FALSE(registry.KeyExists("ZRLeafmendClient91.Rotate.1"));
    EXPECT_TRUE(registry.KeyExists("CLSID"));
    EXPECT_TRUE(registry.KeyExists("AppID"));
}

TEST_F(ModuleTest, CreatedByProgIdRotatesAPageAndLocksTheModule) {
    CComPtr<IZRProcessEx> process;
    ASSERT_EQ(
        CreateInstanceByProgId("ZRLeafmendClient91.Rotate.1", IID_IZRProcessEx, reinterpret_cast<void**>(&process)),
        S_OK);
    EXPECT_EQ(TheModule().canUnloadNow(), S_FALSE);
    CComPtr<CZRDocument> document = HostObject<IZRPageContainer>::Create<CZRDocument>();
    document->AppendPage(ImageWrapper::create_handle_from_scratch(40, 10, 1));
    VARIANT_BOOL result = VARIANT_FALSE;
    ASSERT_EQ(process->Process(document->Pages()[0], &result), S_OK);
    BITMAPINFOHEADER header{};
    ImageWrapper::bitmap_info(document->Pages()[0]->Image()->Handle(), &header);
    EXPECT_EQ(header.biWidth, 10);
    EXPECT_EQ(header.biHeight, 40);
    CComPtr<IMarshal> marshal;
    ASSERT_EQ(process->QueryInterface(IID_IMarshal, reinterpret_cast<void**>(&marshal)), S_OK);
    CLSID unmarshal;
    EXPECT_EQ(marshal->GetUnmarshalClass(IID_IZRProcessEx, nullptr, 0, nullptr, 0, &unmarshal), S_OK);
    EXPECT_EQ(unmarshal, kRotate);
    marshal.Release();
    process.Release();
    EXPECT_EQ(TheModule().canUnloadNow(), S_OK);
}

TEST_F(ModuleTest, LockedFactoryKeepsTheModuleLoaded) {
    CComPtr<IClassFactory> factory;
    ASSERT_EQ(TheModule().getClassObject(kRotate, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    EXPECT_EQ(TheModule().canUnloadNow(), S_OK);
    ASSERT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(TheModule().canUnloadNow(), S_FALSE);
    ASSERT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(TheModule().canUnloadNow(), S_OK);
}

// An outer object that aggregates a process.
class Outer : public IUnknown {
public:
    HRESULT QueryInterface(REFIID riid, void** out) override {
        if (riid == IID_IUnknown) {
            *out = this;
            AddRef();
            return S_OK;
        }
        return inner->QueryInterface(riid, out);
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    IUnknown* inner = nullptr;
    ULONG refs = 1;
};

TEST_F(ModuleTest, AggregatedProcessDelegatesIdentityToOuter) {
    CComPtr<IClassFactory> factory;
    ASSERT_EQ(TheModule().getClassObject(kRotate, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    Outer outer;
    IUnknown* bad = nullptr;
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IZRProcessEx, reinterpret_cast<void**>(&bad)), CLASS_E_NOAGGREGATION);
    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)), S_OK);
    IZRProcessEx* process = nullptr;
    ASSERT_EQ(outer.QueryInterface(IID_IZRProcessEx, reinterpret_cast<void**>(&process)), S_OK);
    IUnknown* identity = nullptr;
    ASSERT_EQ(process->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, static_cast<IUnknown*>(&outer));
    identity->Release();
    process->Release();
    EXPECT_EQ(outer.refs, 1u);
    EXPECT_EQ(TheModule().canUnloadNow(), S_FALSE);
    outer.inner->Release();
    EXPECT_EQ(TheModule().canUnloadNow(), S_OK);
}

}  // namespace

// Every process of the catalogue, as any host meets it: created by ProgID
// through the registry, saved and reloaded (the name travels through the
// XML), and handed a 1-, an 8- and a 24-bit page with ink on it. A process may
// refuse a depth, but never crash, and the page keeps a valid bitmap.
class EveryProcessTest : public ModuleTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(EveryProcessTest, CreatesSavesReloadsAndRunsEveryDepth) {
    const std::string progId = std::string("ZRLeafmendClient91.") + GetParam() + ".1";
    const CComBSTR wide(progId);
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(wide, &clsid), S_OK) << progId;
    CComPtr<IZRProcessEx> process;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IZRProcessEx, reinterpret_cast<void**>(&process)),
              S_OK);
    CComBSTR name(std::string("probe ") + GetParam());
    ASSERT_EQ(process->put_Name(name), S_OK);
    CComBSTR saved;
    ASSERT_EQ(process->get_XML(&saved), S_OK);
    EXPECT_NE(saved.utf8().find("ProgID=\"" + progId + "\""), std::string::npos) << saved.utf8();

    CComPtr<IZRProcessEx> reloaded;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IZRProcessEx, reinterpret_cast<void**>(&reloaded)),
              S_OK);
    CComPtr<IZRXMLMarkup> markup;
    ASSERT_EQ(CreateHostMarkup(&markup), S_OK);
    ASSERT_EQ(markup->LoadXml(saved), S_OK);
    VARIANT_BOOL start = VARIANT_FALSE;
    ASSERT_EQ(markup->IsStartElement(&start), S_OK);
    ASSERT_EQ(reloaded->LoadProperties(markup), S_OK);
    CComBSTR again;
    ASSERT_EQ(reloaded->get_XML(&again), S_OK);
    EXPECT_EQ(again.utf8(), saved.utf8());

    for (int bits : {1, 8, 24}) {
        CComPtr<CZRDocument> document = HostObject<IZRPageContainer>::Create<CZRDocument>();
        const int handle = ImageWrapper::create_handle_from_scratch(320, 240, bits);
        BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(handle);
        const std::size_t stride = dib::Stride(320, dib->biBitCount);
        for (int y = 100; y < 110; ++y) std::memset(dib::Bits(dib) + stride * y + 4, 0, stride / 2);  // a bar of ink
        document->AppendPage(handle);
        VARIANT_BOOL handled = VARIANT_FALSE;
        process->Process(document->Pages()[0], &handled);  // a refusal is an answer too
        const int after = document->Pages()[0]->Image()->Handle();
        const BITMAPINFOHEADER* result = ImageWrapper::get_raw_dib(after);
        ASSERT_NE(result, nullptr) << progId << " at " << bits << " bits";
        EXPECT_GT(result->biWidth, 0);
        EXPECT_GT(result->biHeight, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Catalogue, EveryProcessTest,
                         ::testing::Values("Invert", "Deskew", "Crop", "PageRemoval", "BorderPadding", "Resize",
                                           "Smooth", "Despeckle", "LineRemoval", "DynamicThresholding",
                                           "ColorSmoothing", "Rotate", "Deshade"));
