// Saving a process as XML and loading it back into a new object.
#include "framework/ZoneAccess.h"
#include "processes/geometry/CZRInvert.h"
#include "processes/geometry/CZRRotate.h"
#include "tests/support/TestHost.h"

#include "platform/com/ErrorInfo.h"
#include "platform/registry/Registry.h"
#include "xml/CZRXMLMarkup.h"

#include <gtest/gtest.h>

namespace {

template <class T>
CComPtr<CComObject<T>> Make() {
    Registry::Instance().SetVolatile(true);
    EnsureHostClasses();
    CComObject<T>* object = nullptr;
    EXPECT_EQ(CComObject<T>::CreateInstance(&object), S_OK);
    return CComPtr<CComObject<T>>(object);
}

CComPtr<IZRXMLMarkup> Reader(const std::string& xml) {
    CComPtr<IZRXMLMarkup> markup;
    CreateXMLMarkup(&markup);
    CComBSTR text(xml);
    markup->LoadXml(text);
    CComBSTR process(u"Process");
    VARIANT_BOOL found = VARIANT_FALSE;
    // Case-insensitive documents are positioned by walking to the first element.
    if (xml.find("<Process") != std::string::npos) markup->FindElement(process, &found);
    return markup;
}

std::string Xml(IZRProcessEx* process) {
    CComBSTR xml;
    EXPECT_EQ(process->get_XML(&xml), S_OK);
    return xml.utf8();
}

std::vector<ZoneRect> Zones(IZRProcessEx* process) {
    CComPtr<ZRZoneManager> zones;
    process->GetZoneManager(&zones);
    std::vector<ZoneRect> rects;
    LONG count = 0;
    zones->GetCount(&count);
    for (LONG i = 0; i < count; ++i) {
        CComVariant index(i);
        CComPtr<IZRZone> zone;
        zones->GetZone(index, &zone);
        ZoneRect r;
        zone->GetLeft(&r.left);
        zone->GetTop(&r.top);
        zone->GetWidth(&r.width);
        zone->GetHeight(&r.height);
        rects.push_back(r);
    }
    return rects;
}

TEST(PersistenceTest, FreshProcessSavesEmptyNameAndProgId) {
    auto invert = Make<CZRInvert>();
    const std::string xml = Xml(invert);
    EXPECT_NE(xml.find("<Process Name=\"\" ProgID=\"ZRLeafmendClient91.Invert.1\">"), std::string::npos) << xml;
    const auto range = xml.find("<PageRange"), bag = xml.find("<PropertyBag"), zones = xml.find("<ZoneManager");
    ASSERT_NE(zones, std::string::npos);
    EXPECT_LT(range, bag);
    EXPECT_LT(bag, zones);
}

TEST(PersistenceTest, ZoneProcessLoadsBackWithNameRangeAndZones) {
    auto invert = Make<CZRInvert>();
    CComBSTR name(u"Negative title");
    invert->put_Name(name);
    CComPtr<ZRPageRange> range;
    invert->GetPageRange(&range);
    CComBSTR pages(u"1-3,5");
    range->SetRange(pages);
    CComPtr<ZRZoneManager> zones;
    invert->GetZoneManager(&zones);
    for (LONG i = 0; i < 2; ++i) {
        CComPtr<IZRZone> zone;
        zones->CreateZone(&zone);
        zone->SetRect(ZONE_UNITS_PIXELS, 10 + i, 20, 300, 40 + i);
    }
    auto copy = Make<CZRInvert>();
    ASSERT_EQ(copy->LoadProperties(Reader(Xml(invert))), S_OK);
    CComBSTR loadedName;
    copy->get_Name(&loadedName);
    EXPECT_EQ(loadedName.utf8(), "Negative title");
    CComPtr<ZRPageRange> loadedRange;
    copy->GetPageRange(&loadedRange);
    CComBSTR loadedPages;
    loadedRange->GetRange(&loadedPages);
    EXPECT_EQ(loadedPages.utf8(), "1-3,5");
    const auto rects = Zones(copy);
    ASSERT_EQ(rects.size(), 2u);
    EXPECT_EQ(rects[1].left, 11);
    EXPECT_EQ(rects[1].height, 41);
    EXPECT_EQ(Xml(copy), Xml(invert));
}

TEST(PersistenceTest, KeepsVariantTypesAndSkipsMissingZoneManager) {
    auto rotate = Make<CZRRotate>();
    CComBSTR key(u"RotationAngle");
    rotate->put_Properties(key, CComVariant(SHORT{270}));
    auto copy = Make<CZRRotate>();
    // Rotate holds no zone manager: saving and loading still work.
    ASSERT_EQ(copy->LoadProperties(Reader(Xml(rotate))), S_OK);
    CComVariant value;
    copy->get_Properties(key, &value);
    EXPECT_EQ(value.vt, VT_I2);
    EXPECT_EQ(value.iVal, 270);
}

struct TagCase {
    const char* xml;
    bool loads;
};

class TagTest : public ::testing::TestWithParam<TagCase> {};

TEST_P(TagTest, ProcessTagInAnyCaseLoadsOthersChangeNothing) {
    auto rotate = Make<CZRRotate>();
    CComBSTR before(u"before");
    rotate->put_Name(before);
    CComPtr<IZRXMLMarkup> markup;
    CreateXMLMarkup(&markup);
    CComBSTR text(GetParam().xml);
    markup->LoadXml(text);
    VARIANT_BOOL start;
    markup->IsStartElement(&start);  // the first reader call positions on the first element
    ASSERT_EQ(rotate->LoadProperties(markup), S_OK);
    CComBSTR name;
    rotate->get_Name(&name);
    EXPECT_EQ(name.utf8(), GetParam().loads ? "" : "before");
    CComVariant value;
    CComBSTR key(u"RotationAngle");
    rotate->get_Properties(key, &value);
    EXPECT_EQ(value.iVal, GetParam().loads ? 5 : 90);
}

INSTANTIATE_TEST_SUITE_P(
    Tags, TagTest,
    ::testing::Values(
        TagCase{"<?xml version=\"1.0\"?><PROCESS><PropertyBag><Property Name=\"RotationAngle\" Type=\"VT_I2\" "
                "Value=\"5\"/></PropertyBag></PROCESS>",
                true},
        TagCase{"<?xml version=\"1.0\"?><Job><PropertyBag><Property Name=\"RotationAngle\" Type=\"VT_I2\" "
                "Value=\"5\"/></PropertyBag></Job>",
                false},
        TagCase{"<?xml version=\"1.0\"?><process><propertybag><Property Name=\"RotationAngle\" Type=\"VT_I2\" "
                "Value=\"7\"/></propertybag><PropertyBag><Property Name=\"RotationAngle\" Type=\"VT_I2\" "
                "Value=\"5\"/></PropertyBag></process>",
                true}));

TEST(PersistenceTest, BadValueTypeFailsWithItsCause) {
    auto rotate = Make<CZRRotate>();
    CComPtr<IZRXMLMarkup> markup = Reader(
        "<Process Name=\"x\"><PropertyBag><Property Name=\"RotationAngle\" Type=\"VT_I2\" Value=\"big\"/>"
        "</PropertyBag></Process>");
    EXPECT_TRUE(FAILED(rotate->LoadProperties(markup)));
    EXPECT_NE(PeekErrorDescription().find("not a valid VT_I2"), std::string::npos) << PeekErrorDescription();
}

}  // namespace
