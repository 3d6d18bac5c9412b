// Host objects: page ranges, property types, zone units, documents.
#include "host/CZRDocument.h"
#include "host/CZRPageRange.h"
#include "host/CZRPropertyBag.h"
#include "host/CZRZoneManager.h"
#include "host/HostErrors.h"
#include "platform/com/ErrorInfo.h"

#include <gtest/gtest.h>

namespace {

struct RangeCase {
    const char* text;
    bool valid;
    std::vector<long> in;
    std::vector<long> out;
};

class PageRangeTest : public ::testing::TestWithParam<RangeCase> {};

TEST_P(PageRangeTest, ParsesAndSelects) {
    const RangeCase& c = GetParam();
    auto set = PageRangeSet::Parse(c.text);
    ASSERT_EQ(set.has_value(), c.valid) << c.text;
    if (!set) return;
    for (long page : c.in) EXPECT_TRUE(set->Contains(page)) << c.text << " page " << page;
    for (long page : c.out) EXPECT_FALSE(set->Contains(page)) << c.text << " page " << page;
}

INSTANTIATE_TEST_SUITE_P(Table, PageRangeTest,
                         ::testing::Values(RangeCase{"", true, {1, 2, 1000}, {}},
                                           RangeCase{"1-3,5,8-", true, {1, 3, 5, 8, 99999}, {4, 6, 7}},
                                           RangeCase{" 2 , 4 ", true, {2, 4}, {1, 3, 5}},
                                           RangeCase{"-2", true, {1, 2}, {3}}, RangeCase{"3-2", false, {}, {}},
                                           RangeCase{"0", false, {}, {}}, RangeCase{"1,,2", false, {}, {}},
                                           RangeCase{"a-b", false, {}, {}}, RangeCase{"-", false, {}, {}},
                                           RangeCase{"99999999999", false, {}, {}}));

TEST(PageRangeObjectTest, RefusesBadTextAndKeepsOld) {
    CComPtr<CZRPageRange> range = HostObject<ZRPageRange>::Create<CZRPageRange>();
    CComBSTR good(u"2-"), bad(u"x");
    ASSERT_EQ(range->SetRange(good), S_OK);
    EXPECT_EQ(range->SetRange(bad), ZR_E_PAGE_RANGE);
    EXPECT_NE(PeekErrorDescription().find("Invalid page range"), std::string::npos);
    VARIANT_BOOL in = VARIANT_FALSE;
    range->IsInRange(1, &in);
    EXPECT_EQ(in, VARIANT_FALSE);
}

TEST(PropertyBagTest, KeepsDeclaredTypeAndRefusesValuesThatDoNotFit) {
    CComPtr<CZRPropertyBag> bag = HostObject<ZRPropertyBag>::Create<CZRPropertyBag>();
    CComBSTR key(u"RotationAngle");
    ASSERT_EQ(bag->AddProperty(key, CComVariant(SHORT{90})), S_OK);
    ASSERT_EQ(bag->PutProperty(key, CComVariant("180")), S_OK);
    CComVariant read;
    ASSERT_EQ(bag->GetProperty(key, &read), S_OK);
    EXPECT_EQ(read.vt, VT_I2);
    EXPECT_EQ(read.iVal, 180);
    EXPECT_EQ(bag->PutProperty(key, CComVariant("1e9")), ZR_E_PROPERTY_VALUE);
    EXPECT_NE(PeekErrorDescription().find("expects VT_I2"), std::string::npos);
    EXPECT_EQ(bag->PutProperty(key, CComVariant("left")), ZR_E_PROPERTY_VALUE);
    read.Clear();
    bag->GetProperty(key, &read);
    EXPECT_EQ(read.iVal, 180);
    CComBSTR missing(u"Nope");
    EXPECT_EQ(bag->GetProperty(missing, &read), ZR_E_UNKNOWN_PROPERTY);
    CComVariant names;
    ASSERT_EQ(bag->GetPropertyNames(&names), S_OK);
    EXPECT_EQ(names.vt, VT_ARRAY | VT_BSTR);
    EXPECT_EQ(names.parray->rgsabound[0].cElements, 1u);
}

TEST(ZoneTest, ConvertsToPixelsOfTheBitmap) {
    CComPtr<CZRZoneManager> zones = HostObject<ZRZoneManager>::Create<CZRZoneManager>();
    CComPtr<IZRZone> zone;
    ASSERT_EQ(zones->CreateZone(&zone), S_OK);
    ASSERT_EQ(zone->SetRect(ZONE_UNITS_MILS, 1000, 500, 2000, 250), S_OK);  // inches/1000
    ASSERT_EQ(zone->SetUnits(ZONE_UNITS_PIXELS, 300, 200), S_OK);
    LONG left, top, width, height;
    zone->GetLeft(&left);
    zone->GetTop(&top);
    zone->GetWidth(&width);
    zone->GetHeight(&height);
    EXPECT_EQ(left, 300);
    EXPECT_EQ(top, 100);
    EXPECT_EQ(width, 600);
    EXPECT_EQ(height, 50);
    // Pixels without a resolution cannot be answered in other units.
    ASSERT_EQ(zone->SetRect(ZONE_UNITS_PIXELS, 10, 10, 10, 10), S_OK);
    ASSERT_EQ(zone->SetUnits(ZONE_UNITS_MILS, 0, 0), S_OK);
    EXPECT_EQ(zone->GetLeft(&left), E_UNEXPECTED);
    CComVariant index(LONG{5});
    CComPtr<IZRZone> none;
    EXPECT_EQ(zones->GetZone(index, &none), DISP_E_BADINDEX);
}

TEST(DocumentTest, TokensAndRemovedPages) {
    CComPtr<CZRDocument> document = HostObject<IZRPageContainer>::Create<CZRDocument>();
    document->AppendPage(-1);
    document->AppendPage(-1);
    CComBSTR key(u"REMOVEPAGE_x");
    CComVariant value;
    EXPECT_TRUE(FAILED(document->GetToken(key, &value)));
    ASSERT_EQ(document->SetToken(key, CComVariant(true)), S_OK);
    ASSERT_EQ(document->GetToken(key, &value), S_OK);
    EXPECT_EQ(value.boolVal, VARIANT_TRUE);
    EXPECT_EQ(document->RemovePage(3), DISP_E_BADINDEX);
    ASSERT_EQ(document->RemovePage(2), S_OK);
    EXPECT_TRUE(document->Removed(2));
    EXPECT_FALSE(document->Removed(1));
    CComPtr<IZRPageContainer> container;
    ASSERT_EQ(document->Pages()[0]->GetContainer(&container), S_OK);
    EXPECT_EQ(container.get(), static_cast<IZRPageContainer*>(document.get()));
}

}  // namespace
