// A process added the way every class is added: one header-free class with
// its descriptor (below, 25 lines), registered from the descriptor and
// created by ProgID. Checks that the descriptor alone gives registration,
// creation, defaults, typed reads, meanings, the page filter and saving.
#include "framework/CZRLeafmendModule.h"
#include "framework/ProcessClass.h"
#include "platform/com/Activation.h"
#include "platform/registry/Registry.h"
#include "processes/geometry/CZRRotate.h"
#include "tests/support/ProcessFixture.h"
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>

// --- the added class: marks pixel (0, 0) black "MARKS" times ---------------
inline constexpr CLSID CLSID_ZRMarkCorner = MakeGuid("{0B6C2D9E-3F41-4A57-9E2B-7C1D5A8F3E60}");

class CZRMarkCorner : public ProcessClass<CZRMarkCorner, ProcessExImpl<CLSID_ZRMarkCorner>> {
public:
    static const ClassDescriptor kDescriptor;
    HRESULT Process(IZRPage* page, VARIANT_BOOL* result) override;
};

namespace {
constexpr Property<VT_I4> kMarks{"MARKS", 1, "how many times the corner is marked; 0 leaves the page"};
constexpr Property<VT_BSTR> kLabel{"LABEL", "corner", "a name saved with the process"};
constexpr PropertyDecl kMarkProperties[] = {kMarks, kLabel};
}  // namespace

constinit const ClassDescriptor CZRMarkCorner::kDescriptor{"MarkCorner",
                                                           "CZRMarkCorner",
                                                           &CLSID_ZRMarkCorner,
                                                           901,
                                                           0,
                                                           false,
                                                           798,
                                                           kMarkProperties,
                                                           &MakeClassFactory<CZRMarkCorner>};

HRESULT CZRMarkCorner::Process(IZRPage* page, VARIANT_BOOL* result) {
    return RunProcess(page, result, [&](IZRImage*, int handle) {
        if (Read(kMarks) > 0) {
            BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(handle);
            BYTE* top = dib::Bits(dib) + dib::Stride(dib->biWidth, dib->biBitCount) * (dib->biHeight - 1);
            top[0] = 0;
        }
        return S_OK;
    });
}
// ---------------------------------------------------------------------------

namespace {

constexpr const ClassDescriptor* kAdded[] = {&CZRMarkCorner::kDescriptor};

class AddedProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        Registry::Instance().SetVolatile(true);
        EnsureHostClasses();
        ASSERT_EQ(CZRLeafmendModule::RegisterClasses(kAdded), S_OK);
        factory_ = CZRMarkCorner::kDescriptor.createFactory();
        ASSERT_TRUE(factory_);
        ASSERT_EQ(CoRegisterClassObject(CLSID_ZRMarkCorner, factory_, CLSCTX_INPROC_SERVER, 0, &cookie_), S_OK);
    }
    void TearDown() override { CoRevokeClassObject(cookie_); }

    CComPtr<IZRProcessEx> CreateByProgId(const char16_t* progId) {
        CLSID clsid{};
        EXPECT_EQ(CLSIDFromProgID(progId, &clsid), S_OK);
        CComPtr<IZRProcessEx> process;
        EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IZRProcessEx, reinterpret_cast<void**>(&process)),
                  S_OK);
        return process;
    }
    static CComVariant Call(IZRProcessEx* process, const char16_t* member, CComVariant argument) {
        LPOLESTR names[] = {const_cast<LPOLESTR>(member)};
        DISPID id = -1;
        EXPECT_EQ(process->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
        DISPPARAMS params{&argument, nullptr, 1, 0};
        CComVariant result;
        EXPECT_EQ(process->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr), S_OK);
        return result;
    }

    CComPtr<IClassFactory> factory_;
    DWORD cookie_ = 0;
};

TEST_F(AddedProcessTest, RegistersBothProgIdsFromItsDescriptor) {
    CLSID versioned{}, independent{};
    ASSERT_EQ(CLSIDFromProgID(u"ZRLeafmendClient91.MarkCorner.1", &versioned), S_OK);
    ASSERT_EQ(CLSIDFromProgID(u"ZRLeafmendClient91.MarkCorner", &independent), S_OK);
    EXPECT_EQ(versioned, CLSID_ZRMarkCorner);
    EXPECT_EQ(independent, CLSID_ZRMarkCorner);
    EXPECT_EQ(Registry::Instance().GetString("ZRLeafmendClient91.MarkCorner\\CurVer", ""),
              std::optional<std::string>("ZRLeafmendClient91.MarkCorner.1"));
}

TEST_F(AddedProcessTest, CreatedByProgIdDeclaresDefaultsAndTypeAndRunsPages) {
    CComPtr<IZRProcessEx> process = CreateByProgId(u"ZRLeafmendClient91.MarkCorner.1");
    ASSERT_TRUE(process);
    CComVariant marks, label;
    CComBSTR marksKey(u"MARKS"), labelKey(u"LABEL");
    ASSERT_EQ(process->get_Properties(marksKey, &marks), S_OK);
    ASSERT_EQ(process->get_Properties(labelKey, &label), S_OK);
    EXPECT_EQ(marks.vt, VT_I4);
    EXPECT_EQ(marks.lVal, 1);
    EXPECT_EQ(label.vt, VT_BSTR);
    EXPECT_EQ(BstrToUtf8(label.bstrVal), "corner");
    LONG type = 0;
    process->get_ProcessType(&type);
    EXPECT_EQ(type, 798);

    CComPtr<CZRDocument> document = MakeDocument(16, 8, 1);
    VARIANT_BOOL handled = VARIANT_FALSE;
    ASSERT_EQ(process->Process(document->Pages()[0], &handled), S_OK);
    EXPECT_EQ(handled, VARIANT_TRUE);
    EXPECT_EQ(PixelAt(document->Pages()[0]->Image()->Handle(), 0, 0), 0u);
    EXPECT_EQ(PixelAt(document->Pages()[0]->Image()->Handle(), 8, 0), 1u);
}

TEST_F(AddedProcessTest, TypedReadConvertsTextAndRefusesWhatCannotConvert) {
    CComPtr<IZRProcessEx> process = CreateByProgId(u"ZRLeafmendClient91.MarkCorner.1");
    CComPtr<CZRDocument> document = MakeDocument(16, 8, 1);
    VARIANT_BOOL handled = VARIANT_FALSE;
    CComBSTR key(u"MARKS");
    // "0" as text: read as the number 0, so the page is left white.
    ASSERT_EQ(process->put_Properties(key, CComVariant("0")), S_OK);
    ASSERT_EQ(process->Process(document->Pages()[0], &handled), S_OK);
    EXPECT_EQ(PixelAt(document->Pages()[0]->Image()->Handle(), 0, 0), 1u);
    // A text that is no number fails the page instead of reading a pointer's bits.
    if (process->put_Properties(key, CComVariant("many")) == S_OK) {
        EXPECT_TRUE(FAILED(process->Process(document->Pages()[0], &handled)));
    }
    EXPECT_EQ(PixelAt(document->Pages()[0]->Image()->Handle(), 0, 0), 1u);
}

TEST_F(AddedProcessTest, AnswersMeaningsAndThePageFilterLateBound) {
    CComPtr<IZRProcessEx> process = CreateByProgId(u"ZRLeafmendClient91.MarkCorner");
    EXPECT_EQ(BstrToUtf8(Call(process, u"PropertyDescription", CComVariant("MARKS")).bstrVal),
              "how many times the corner is marked; 0 leaves the page");
    EXPECT_EQ(BstrToUtf8(Call(process, u"PropertyDescription", CComVariant("NOSUCH")).bstrVal), "");

    CComPtr<CZRDocument> document = HostObject<IZRPageContainer>::Create<CZRDocument>();
    for (int i = 0; i < 3; ++i) document->AppendPage(ImageWrapper::create_handle_from_scratch(4, 4, 1));
    CComPtr<ZRPageRange> range;
    ASSERT_EQ(process->GetPageRange(&range), S_OK);
    CComBSTR text(u"2-");
    ASSERT_EQ(range->SetRange(text), S_OK);
    const bool expected[] = {false, true, true};
    for (int i = 0; i < 3; ++i) {
        CComVariant page(static_cast<IUnknown*>(static_cast<IZRPage*>(document->Pages()[i])));
        const CComVariant answer = Call(process, u"ShouldProcessPage", page);
        ASSERT_EQ(answer.vt, VT_BOOL);
        EXPECT_EQ(answer.boolVal != VARIANT_FALSE, expected[i]) << "page " << i + 1;
    }
    process->put_Mode(8);
    CComVariant first(static_cast<IUnknown*>(static_cast<IZRPage*>(document->Pages()[0])));
    EXPECT_NE(Call(process, u"ShouldProcessPage", first).boolVal, VARIANT_FALSE);
}

TEST_F(AddedProcessTest, SavesItsProgIdAndProperties) {
    CComPtr<IZRProcessEx> process = CreateByProgId(u"ZRLeafmendClient91.MarkCorner.1");
    CComBSTR xml;
    ASSERT_EQ(process->get_XML(&xml), S_OK);
    const std::string text = xml.utf8();
    EXPECT_NE(text.find("ProgID=\"ZRLeafmendClient91.MarkCorner.1\""), std::string::npos) << text;
    EXPECT_NE(text.find("MARKS"), std::string::npos) << text;
    EXPECT_NE(text.find("LABEL"), std::string::npos) << text;
}

TEST_F(AddedProcessTest, UnregisteringRemovesItsKeysOnly) {
    ASSERT_EQ(CZRLeafmendModule::UnregisterClasses(kAdded), S_OK);
    CLSID clsid{};
    EXPECT_NE(CLSIDFromProgID(u"ZRLeafmendClient91.MarkCorner.1", &clsid), S_OK);
    EXPECT_TRUE(Registry::Instance().KeyExists("CLSID"));
    EXPECT_TRUE(Registry::Instance().KeyExists("AppID"));
}

// A job file may save a number as text: "180" for the 16-bit RotationAngle
// turns the page by 180 degrees, never by the bits of a string pointer.
TEST(TypedProperties, RotationAngleSavedAsTextTurnsTheNumberOfDegrees) {
    Registry::Instance().SetVolatile(true);
    EnsureHostClasses();
    CComObject<CZRRotate>* object = nullptr;
    ASSERT_EQ(CComObject<CZRRotate>::CreateInstance(&object), S_OK);
    CComPtr<CComObject<CZRRotate>> rotate(object);
    CComBSTR key(u"RotationAngle");
    ASSERT_EQ(rotate->put_Properties(key, CComVariant("180")), S_OK);
    CComPtr<CZRDocument> document = MakeDocument(300, 200, 1);
    const int before = document->Pages()[0]->Image()->Handle();
    BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(before);
    dib::Bits(dib)[dib::Stride(300, 1) * 199] = 0x7F;  // pixel (0, 0) black, top row
    VARIANT_BOOL handled = VARIANT_FALSE;
    ASSERT_EQ(rotate->Process(document->Pages()[0], &handled), S_OK);
    const int after = document->Pages()[0]->Image()->Handle();
    const BITMAPINFOHEADER* turned = ImageWrapper::get_raw_dib(after);
    EXPECT_EQ(turned->biWidth, 300);
    EXPECT_EQ(turned->biHeight, 200);
    EXPECT_EQ(PixelAt(after, 299, 199), 0u);
    EXPECT_EQ(PixelAt(after, 0, 0), 1u);
}

}  // namespace
