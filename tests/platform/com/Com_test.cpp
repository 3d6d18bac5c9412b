// The COM runtime pieces every other layer relies on: strings, values,
// GUIDs, error information and the registry.
#include "platform/com/Activation.h"
#include "platform/com/ComError.h"
#include "platform/com/ComPtr.h"
#include "platform/com/ErrorInfo.h"
#include "platform/registry/Registry.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

TEST(BstrTest, KeepsLengthPrefixAndRoundTripsUtf8) {
    const std::string text = "Größe \xF0\x9F\x93\x84 page";
    CComBSTR bstr(text);
    EXPECT_EQ(bstr.utf8(), text);
    EXPECT_EQ(SysStringByteLen(bstr), bstr.Length() * 2);
    EXPECT_EQ(bstr.Length(), 13u);  // the emoji is a surrogate pair
    BSTR embedded = SysAllocStringLen(u"a\0b", 3);
    EXPECT_EQ(SysStringLen(embedded), 3u);
    SysFreeString(embedded);
    EXPECT_EQ(BstrToUtf8(nullptr), "");
    // Broken UTF-8 and unpaired surrogates are replaced, not thrown.
    EXPECT_FALSE(Utf8ToUtf16("\xC3(").empty());
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");
}

struct ChangeCase {
    const char* text;
    VARTYPE type;
    HRESULT expected;
    long long value;
};

class VariantChangeTest : public ::testing::TestWithParam<ChangeCase> {};

TEST_P(VariantChangeTest, ConvertsTextToDeclaredType) {
    const ChangeCase& c = GetParam();
    CComVariant source(c.text), result;
    EXPECT_EQ(VariantChangeType(&result, &source, 0, c.type), c.expected) << c.text;
    if (c.expected == S_OK) {
        EXPECT_EQ(result.vt, c.type);
        switch (c.type) {
            case VT_I2:
                EXPECT_EQ(result.iVal, c.value);
                break;
            case VT_I4:
                EXPECT_EQ(result.lVal, c.value);
                break;
            case VT_BOOL:
                EXPECT_EQ(result.boolVal, c.value);
                break;
            default:
                break;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Table, VariantChangeTest,
                         ::testing::Values(ChangeCase{"180", VT_I2, S_OK, 180}, ChangeCase{" -90 ", VT_I2, S_OK, -90},
                                           ChangeCase{"32768", VT_I2, DISP_E_OVERFLOW, 0},
                                           ChangeCase{"ninety", VT_I2, DISP_E_TYPEMISMATCH, 0},
                                           ChangeCase{"2.5", VT_I4, DISP_E_TYPEMISMATCH, 0},
                                           ChangeCase{"", VT_I4, DISP_E_TYPEMISMATCH, 0},
                                           ChangeCase{"true", VT_BOOL, S_OK, VARIANT_TRUE},
                                           ChangeCase{"0", VT_BOOL, S_OK, VARIANT_FALSE},
                                           ChangeCase{"2147483647", VT_I4, S_OK, 2147483647LL}));

TEST(VariantTest, CopiesStringsDeeplyAndNamesTypes) {
    CComVariant a("text");
    CComVariant b(a);
    ASSERT_NE(a.bstrVal, b.bstrVal);
    EXPECT_EQ(BstrToUtf8(b.bstrVal), "text");
    EXPECT_STREQ(VarTypeName(VT_I2), "VT_I2");
    EXPECT_EQ(VarTypeFromName("VT_BSTR"), VT_BSTR);
    EXPECT_EQ(VarTypeFromName("VT_NOPE"), 0xFFFF);
    EXPECT_EQ(VariantToText(CComVariant(SHORT{-7})), "-7");
}

TEST(VariantTest, RealsPrintAsTheShortestTextThatReadsBackExactly) {
    for (double value : {0.05, 0.1 + 0.2, 1e-300, -2.5, 123456789.125}) {
        const std::string text = VariantToText(CComVariant(value));
        EXPECT_EQ(std::strtod(text.c_str(), nullptr), value) << text;
        EXPECT_LE(text.size(), 24u) << text;
    }
    EXPECT_EQ(VariantToText(CComVariant(0.05)), "0.05");
}

TEST(GuidTest, ParsesAndPrintsBracedForm) {
    constexpr GUID known = MakeGuid("{5F93EACA-A983-45C9-A7C5-B7533F04B554}");
    EXPECT_EQ(GuidToString(known), "{5F93EACA-A983-45C9-A7C5-B7533F04B554}");
    EXPECT_EQ(ParseGuid("{5f93eaca-a983-45c9-a7c5-b7533f04b554}"), known);
    EXPECT_FALSE(ParseGuid("{5F93EACA-A983-45C9-A7C5-B7533F04B55}").has_value());
    EXPECT_FALSE(ParseGuid("{5F93EACA+A983-45C9-A7C5-B7533F04B554}").has_value());
}

TEST(ErrorInfoTest, IsPerThreadAndTakenOnRead) {
    CComPtr<ICreateErrorInfo> create;
    ASSERT_EQ(CreateErrorInfo(&create), S_OK);
    std::u16string text = u"broken page";
    create->SetDescription(text.data());
    CComPtr<IErrorInfo> info;
    create.QueryInterface(&info);
    SetErrorInfo(0, info);
    std::string seenElsewhere = "unset";
    std::thread([&] { seenElsewhere = PeekErrorDescription(); }).join();
    EXPECT_EQ(seenElsewhere, "");
    CComPtr<IErrorInfo> taken;
    ASSERT_EQ(GetErrorInfo(0, &taken), S_OK);
    CComPtr<IErrorInfo> again;
    EXPECT_EQ(GetErrorInfo(0, &again), S_FALSE);
}

TEST(ComErrorTest, MessagesForCodesWithoutSystemText) {
    EXPECT_EQ(Utf16ToUtf8(_com_error(E_POINTER).ErrorMessage()), "Invalid pointer");
    EXPECT_EQ(Utf16ToUtf8(_com_error(static_cast<HRESULT>(0x80040275u)).ErrorMessage()), "IDispatch error #117");
    EXPECT_EQ(Utf16ToUtf8(_com_error(static_cast<HRESULT>(0x80FF1234u)).ErrorMessage()), "Unknown error 0x80FF1234");
}

TEST(RegistryTest, PersistsToFileAndComparesKeysWithoutCase) {
    const std::string file = testing::TempDir() + "/registry-roundtrip.xml";
    std::remove(file.c_str());
    ::setenv("LEAFMEND_REGISTRY", file.c_str(), 1);
    Registry& registry = Registry::Instance();
    registry.SetVolatile(false);
    registry.Reset();
    ASSERT_TRUE(registry.SetString("Some.Prog.1\\CLSID", "", "{5F93EACA-A983-45C9-A7C5-B7533F04B554}"));
    ASSERT_TRUE(registry.SetDword("Some.Prog.1", "Flags", 7));
    registry.Reset();  // forget memory: reload from the file
    EXPECT_EQ(registry.GetString("some.prog.1\\clsid", ""), "{5F93EACA-A983-45C9-A7C5-B7533F04B554}");
    EXPECT_EQ(registry.GetValue("SOME.PROG.1", "flags")->number, 7u);
    CLSID clsid;
    const std::u16string progId = u"Some.Prog.1";
    EXPECT_EQ(CLSIDFromProgID(progId.c_str(), &clsid), S_OK);
    EXPECT_TRUE(registry.DeleteTree("Some.Prog.1"));
    EXPECT_FALSE(registry.KeyExists("Some.Prog.1\\CLSID"));
    EXPECT_EQ(CLSIDFromProgID(progId.c_str(), &clsid), CO_E_CLASSSTRING);
    registry.SetVolatile(true);
    std::remove(file.c_str());
}

}  // namespace
