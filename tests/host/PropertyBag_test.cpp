// Property bag: declaration order, declared types kept through puts and
// loads, refusals that name the key, the types and the value, saved XML.
#include "host/CZRPropertyBag.h"
#include "host/HostErrors.h"
#include "tests/host/HostTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

CComPtr<CZRPropertyBag> NewBag() { return Make<CZRPropertyBag, ZRPropertyBag>(); }

void Declare(CZRPropertyBag* bag, const char16_t* name, const CComVariant& value) {
    CComBSTR key(name);
    ASSERT_EQ(bag->AddProperty(key, value), S_OK);
}

CComVariant Read(CZRPropertyBag* bag, const char16_t* name) {
    CComBSTR key(name);
    CComVariant value;
    EXPECT_EQ(bag->GetProperty(key, &value), S_OK) << Utf16ToUtf8(name);
    return value;
}

std::vector<std::string> Names(CZRPropertyBag* bag) {
    CComVariant names;
    EXPECT_EQ(bag->GetPropertyNames(&names), S_OK);
    std::vector<std::string> out;
    for (LONG i = 0; i < static_cast<LONG>(names.parray->rgsabound[0].cElements); ++i) {
        BSTR name = nullptr;
        SafeArrayGetElement(names.parray, &i, &name);
        out.push_back(BstrToUtf8(name));
        SysFreeString(name);
    }
    return out;
}

// A bag as the rotate and deskew processes declare theirs.
CComPtr<CZRPropertyBag> ProcessBag() {
    CComPtr<CZRPropertyBag> bag = NewBag();
    Declare(bag, u"RotationAngle", CComVariant(SHORT{90}));
    Declare(bag, u"SIZE", CComVariant(LONG{0}));
    Declare(bag, u"DetectionType", CComVariant("Lines"));
    return bag;
}

// Loads one saved Property element into the bag.
HRESULT LoadOne(CZRPropertyBag* bag, const std::string& name, const std::string& type, const std::string& value) {
    const std::string xml = "<Process><PropertyBag><Property Name=\"" + name + "\" Type=\"" + type + "\" Value=\"" +
                            value + "\" /></PropertyBag></Process>";
    return bag->LoadProperties(ReaderAt(xml, "PropertyBag"));
}

TEST(PropertyBagTest, NamesComeInDeclarationOrderAndRedeclaringKeepsThePlace) {
    CComPtr<CZRPropertyBag> bag = NewBag();
    Declare(bag, u"Zeta", CComVariant(SHORT{1}));
    Declare(bag, u"alpha", CComVariant(SHORT{2}));
    Declare(bag, u"Mid", CComVariant(SHORT{3}));
    Declare(bag, u"Zeta", CComVariant(SHORT{4}));
    EXPECT_EQ(Names(bag), (std::vector<std::string>{"Zeta", "alpha", "Mid"}));
    EXPECT_EQ(Read(bag, u"Zeta").iVal, 4);
    // Keys are exact: another letter case is another key.
    CComBSTR other(u"zeta");
    CComVariant value;
    EXPECT_EQ(bag->GetProperty(other, &value), ZR_E_UNKNOWN_PROPERTY);
    EXPECT_NE(TakeErrorText().find("Unknown property 'zeta'"), std::string::npos);
}

struct PutCase {
    const char16_t* key;
    CComVariant value;
    HRESULT expected;
    VARTYPE type;      // of the stored value after a successful put
    LONGLONG number;   // its integer value (for numeric types)
    const char* text;  // or its text (for BSTR)
};

class PropertyPutTest : public ::testing::TestWithParam<PutCase> {};

TEST_P(PropertyPutTest, ConvertsToTheDeclaredTypeOrRefusesAndKeepsTheOldValue) {
    const PutCase& c = GetParam();
    CComPtr<CZRPropertyBag> bag = ProcessBag();
    const CComVariant before = Read(bag, c.key);
    CComBSTR key(c.key);
    ASSERT_EQ(bag->PutProperty(key, c.value), c.expected);
    const CComVariant after = Read(bag, c.key);
    if (FAILED(c.expected)) {
        const std::string error = TakeErrorText();
        EXPECT_NE(error.find("Property '" + Utf16ToUtf8(c.key) + "' expects"), std::string::npos) << error;
        EXPECT_EQ(after.vt, before.vt);
        EXPECT_EQ(VariantToText(after), VariantToText(before));
        return;
    }
    EXPECT_EQ(after.vt, c.type);
    if (c.type == VT_BSTR) {
        EXPECT_EQ(BstrToUtf8(after.bstrVal), c.text);
    } else if (c.type == VT_I2) {
        EXPECT_EQ(after.iVal, c.number);
    } else {
        EXPECT_EQ(after.lVal, c.number);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, PropertyPutTest,
    ::testing::Values(PutCase{u"RotationAngle", CComVariant("180"), S_OK, VT_I2, 180, ""},
                      PutCase{u"RotationAngle", CComVariant(LONG{-270}), S_OK, VT_I2, -270, ""},
                      PutCase{u"RotationAngle", CComVariant(2.0), S_OK, VT_I2, 2, ""},
                      PutCase{u"RotationAngle", CComVariant("40000"), ZR_E_PROPERTY_VALUE, VT_I2, 0, ""},
                      PutCase{u"RotationAngle", CComVariant("left"), ZR_E_PROPERTY_VALUE, VT_I2, 0, ""},
                      PutCase{u"RotationAngle", CComVariant("1.5"), ZR_E_PROPERTY_VALUE, VT_I2, 0, ""},
                      PutCase{u"SIZE", CComVariant("70000"), S_OK, VT_I4, 70000, ""},
                      PutCase{u"SIZE", CComVariant(SHORT{3}), S_OK, VT_I4, 3, ""},
                      PutCase{u"DetectionType", CComVariant("Text"), S_OK, VT_BSTR, 0, "Text"},
                      PutCase{u"DetectionType", CComVariant(LONG{7}), S_OK, VT_BSTR, 0, "7"}));

TEST(PropertyBagTest, PutOfAnUndeclaredKeyAddsItWithItsOwnType) {
    CComPtr<CZRPropertyBag> bag = ProcessBag();
    CComBSTR key(u"CULTURE");
    ASSERT_EQ(bag->PutProperty(key, CComVariant("de")), S_OK);
    EXPECT_EQ(Read(bag, u"CULTURE").vt, VT_BSTR);
    EXPECT_EQ(Names(bag).back(), "CULTURE");
}

TEST(PropertyBagTest, ByReferenceStringsAreCopiedNotKeptAsPointers) {
    CComPtr<CZRPropertyBag> bag = ProcessBag();
    BSTR text = SysAllocString(u"Angle");
    VARIANT byRef;
    VariantInit(&byRef);
    byRef.vt = VT_BSTR | VT_BYREF;
    byRef.pbstrVal = &text;
    CComBSTR fresh(u"Fresh"), declared(u"DetectionType");
    ASSERT_EQ(bag->PutProperty(fresh, byRef), S_OK);
    ASSERT_EQ(bag->PutProperty(declared, byRef), S_OK);
    SysFreeString(text);  // the caller's string is gone
    text = nullptr;
    for (const char16_t* name : {u"Fresh", u"DetectionType"}) {
        const CComVariant value = Read(bag, name);
        ASSERT_EQ(value.vt, VT_BSTR);
        EXPECT_EQ(BstrToUtf8(value.bstrVal), "Angle");
    }
    EXPECT_NE(SavedXml(bag.get()).find("Name=\"Fresh\" Type=\"VT_BSTR\" Value=\"Angle\""), std::string::npos);
}

struct LoadCase {
    const char* key;
    const char* savedType;
    const char* savedValue;
    HRESULT expected;
    VARTYPE loadedType;
    const char* loadedText;  // the value as saved XML would show it afterwards
    const char* error;       // part of the refusal text
};

class PropertyLoadTest : public ::testing::TestWithParam<LoadCase> {};

TEST_P(PropertyLoadTest, DeclaredKeysTakeTheSavedValueInTheirOwnType) {
    const LoadCase& c = GetParam();
    CComPtr<CZRPropertyBag> bag = ProcessBag();
    const std::string before = SavedXml(bag.get());
    ASSERT_EQ(LoadOne(bag, c.key, c.savedType, c.savedValue), c.expected);
    if (FAILED(c.expected)) {
        const std::string error = TakeErrorText();
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(SavedXml(bag.get()), before) << "a refused load changes nothing";
        return;
    }
    const std::u16string key = Utf8ToUtf16(c.key);
    const CComVariant value = Read(bag, key.c_str());
    EXPECT_EQ(value.vt, c.loadedType);
    EXPECT_EQ(VariantToText(value), c.loadedText);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PropertyLoadTest,
    ::testing::Values(LoadCase{"RotationAngle", "VT_BSTR", "180", S_OK, VT_I2, "180", ""},
                      LoadCase{"RotationAngle", "VT_I4", "-90", S_OK, VT_I2, "-90", ""},
                      LoadCase{"RotationAngle", "VT_I2", "270", S_OK, VT_I2, "270", ""},
                      LoadCase{"RotationAngle", "VT_BSTR", "abc", ZR_E_PROPERTY_VALUE, VT_EMPTY, "",
                               "Property 'RotationAngle': the saved value 'abc' (VT_BSTR) cannot become VT_I2."},
                      LoadCase{"RotationAngle", "VT_I4", "70000", ZR_E_PROPERTY_VALUE, VT_EMPTY, "",
                               "Property 'RotationAngle': the saved value '70000' (VT_I4) cannot become VT_I2."},
                      LoadCase{"RotationAngle", "VT_I2", "abc", ZR_E_PROPERTY_VALUE, VT_EMPTY, "",
                               "Property 'RotationAngle': the value 'abc' is not a valid VT_I2."},
                      LoadCase{"RotationAngle", "VT_FANCY", "1", ZR_E_PROPERTY_TYPE, VT_EMPTY, "",
                               "Property 'RotationAngle' has unknown type 'VT_FANCY'."},
                      LoadCase{"SIZE", "VT_BSTR", "12", S_OK, VT_I4, "12", ""},
                      LoadCase{"DetectionType", "VT_I2", "3", S_OK, VT_BSTR, "3", ""},
                      // Keys nobody declared keep the type they were saved with.
                      LoadCase{"Extra", "VT_BSTR", "180", S_OK, VT_BSTR, "180", ""},
                      LoadCase{"Extra", "VT_I4", "180", S_OK, VT_I4, "180", ""}));

TEST(PropertyBagTest, ARefusedPropertyLeavesTheWholeBagAsItWas) {
    CComPtr<CZRPropertyBag> bag = ProcessBag();
    const std::string before = SavedXml(bag.get());
    const std::string xml =
        "<Process><PropertyBag>"
        "<Property Name=\"SIZE\" Type=\"VT_I4\" Value=\"5\" />"
        "<Property Name=\"RotationAngle\" Type=\"VT_BSTR\" Value=\"x\" />"
        "</PropertyBag></Process>";
    EXPECT_EQ(bag->LoadProperties(ReaderAt(xml, "PropertyBag")), ZR_E_PROPERTY_VALUE);
    EXPECT_EQ(SavedXml(bag.get()), before);
}

TEST(PropertyBagTest, SavesEveryPropertyWithItsTypeInDeclarationOrder) {
    CComPtr<CZRPropertyBag> bag = ProcessBag();
    CComBSTR angle(u"RotationAngle");
    bag->PutProperty(angle, CComVariant("180"));
    EXPECT_EQ(SavedXml(bag.get()),
              "<?xml version=\"1.0\"?>\n"
              "<Process>\n"
              "\t<PropertyBag>\n"
              "\t\t<Property Name=\"RotationAngle\" Type=\"VT_I2\" Value=\"180\" />\n"
              "\t\t<Property Name=\"SIZE\" Type=\"VT_I4\" Value=\"0\" />\n"
              "\t\t<Property Name=\"DetectionType\" Type=\"VT_BSTR\" Value=\"Lines\" />\n"
              "\t</PropertyBag>\n"
              "</Process>\n");
}

TEST(PropertyBagTest, SavedXmlLoadsBackIntoAFreshBagByteForByte) {
    CComPtr<CZRPropertyBag> bag = ProcessBag();
    CComBSTR type(u"DetectionType"), extra(u"Note");
    bag->PutProperty(type, CComVariant("A & <B> \"C\""));
    bag->PutProperty(extra, CComVariant(2.5));
    const std::string saved = SavedXml(bag.get());
    CComPtr<CZRPropertyBag> loaded = ProcessBag();
    ASSERT_EQ(loaded->LoadProperties(ReaderAt(saved, "PropertyBag")), S_OK);
    EXPECT_EQ(SavedXml(loaded.get()), saved);
    EXPECT_EQ(Read(loaded, u"Note").vt, VT_R8);
}

TEST(PropertyBagTest, LoadingLeavesTheReaderSoTheNextSiblingIsReached) {
    CComPtr<CZRPropertyBag> bag = ProcessBag();
    CComPtr<IZRXMLMarkup> markup = ReaderAt(
        "<Process><PropertyBag><Property Name=\"SIZE\" Type=\"VT_I4\" Value=\"4\" /></PropertyBag><Next /></Process>",
        "PropertyBag");
    ASSERT_EQ(bag->LoadProperties(markup), S_OK);
    VARIANT_BOOL moved = VARIANT_FALSE;
    markup->MoveNext(&moved);
    CComBSTR name;
    markup->GetName(&name);
    EXPECT_EQ(name.utf8(), "Next");
    EXPECT_EQ(Read(bag, u"SIZE").lVal, 4);
}

}  // namespace
