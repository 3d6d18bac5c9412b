// Zones: rectangles answered in the units asked for (1 = thousandths of an
// inch, 2 = tenths of a millimetre, 4 = pixels at the given resolutions),
// the zone manager's list, and their saved elements.
#include "host/CZRZoneManager.h"
#include "host/HostErrors.h"
#include "tests/host/HostTestSupport.h"

#include <gtest/gtest.h>

#include <array>

namespace {

using Rect = std::array<LONG, 4>;  // left, top, width, height

struct UnitCase {
    LONG storedUnits;
    Rect stored;
    LONG answerUnits;
    LONG xDpi, yDpi;
    HRESULT expected;
    Rect answer;
};

CComPtr<IZRZone> NewZone(CZRZoneManager* manager) {
    CComPtr<IZRZone> zone;
    EXPECT_EQ(manager->CreateZone(&zone), S_OK);
    return zone;
}

HRESULT Answer(IZRZone* zone, Rect* out) {
    HRESULT hr = zone->GetLeft(&(*out)[0]);
    if (SUCCEEDED(hr)) hr = zone->GetTop(&(*out)[1]);
    if (SUCCEEDED(hr)) hr = zone->GetWidth(&(*out)[2]);
    if (SUCCEEDED(hr)) hr = zone->GetHeight(&(*out)[3]);
    return hr;
}

class ZoneUnitsTest : public ::testing::TestWithParam<UnitCase> {};

TEST_P(ZoneUnitsTest, AnswersInTheUnitsAskedFor) {
    const UnitCase& c = GetParam();
    CComPtr<CZRZoneManager> manager = Make<CZRZoneManager, ZRZoneManager>();
    CComPtr<IZRZone> zone = NewZone(manager);
    ASSERT_EQ(zone->SetRect(c.storedUnits, c.stored[0], c.stored[1], c.stored[2], c.stored[3]), S_OK);
    ASSERT_EQ(zone->SetUnits(c.answerUnits, c.xDpi, c.yDpi), S_OK);
    Rect answer{};
    ASSERT_EQ(Answer(zone, &answer), c.expected);
    if (SUCCEEDED(c.expected)) {
        EXPECT_EQ(answer, c.answer);
    }
    LONG units = 0;
    zone->GetUnits(&units);
    EXPECT_EQ(units, c.answerUnits);
}

INSTANTIATE_TEST_SUITE_P(Table, ZoneUnitsTest,
                         ::testing::Values(
                             // thousandths of an inch -> pixels, each axis with its own resolution
                             UnitCase{1, {1000, 500, 2000, 250}, 4, 300, 200, S_OK, {300, 100, 600, 50}},
                             // tenths of a millimetre (254 to the inch) -> pixels
                             UnitCase{2, {254, 508, 2540, 127}, 4, 300, 150, S_OK, {300, 300, 3000, 75}},
                             // pixels -> thousandths of an inch and tenths of a millimetre
                             UnitCase{4, {300, 150, 600, 75}, 1, 300, 150, S_OK, {1000, 1000, 2000, 500}},
                             UnitCase{4, {300, 150, 600, 75}, 2, 300, 150, S_OK, {254, 254, 508, 127}},
                             // tenths of a millimetre -> thousandths of an inch need no resolution
                             UnitCase{2, {254, 127, 0, 1}, 1, 0, 0, S_OK, {1000, 500, 0, 4}},
                             // same units: the stored values, whatever the resolution
                             UnitCase{4, {10, 20, 30, 40}, 4, 0, 0, S_OK, {10, 20, 30, 40}},
                             UnitCase{1, {-5, 7, 9, 11}, 1, 0, 0, S_OK, {-5, 7, 9, 11}},
                             // rounding to the nearest pixel
                             UnitCase{1, {1, 2, 5, 3}, 4, 300, 300, S_OK, {0, 1, 2, 1}},
                             // pixels need a resolution
                             UnitCase{1, {1000, 0, 0, 0}, 4, 0, 300, E_UNEXPECTED, {}},
                             UnitCase{4, {10, 10, 10, 10}, 1, 0, 0, E_UNEXPECTED, {}},
                             // an answer a LONG cannot hold is refused, not wrapped
                             UnitCase{4, {2000000000, 0, 0, 0}, 1, 1, 1, DISP_E_OVERFLOW, {}}));

TEST(ZoneTest, UnknownUnitsAreRefused) {
    CComPtr<CZRZoneManager> manager = Make<CZRZoneManager, ZRZoneManager>();
    CComPtr<IZRZone> zone = NewZone(manager);
    EXPECT_EQ(zone->SetRect(3, 0, 0, 1, 1), E_INVALIDARG);
    EXPECT_EQ(zone->SetUnits(0, 300, 300), E_INVALIDARG);
    EXPECT_EQ(zone->SetUnits(5, 300, 300), E_INVALIDARG);
}

TEST(ZoneManagerTest, HandsOutZonesByIndexOfAnyNumericType) {
    CComPtr<CZRZoneManager> manager = Make<CZRZoneManager, ZRZoneManager>();
    CComPtr<IZRZone> first = NewZone(manager), second = NewZone(manager);
    LONG count = 0;
    manager->GetCount(&count);
    EXPECT_EQ(count, 2);
    CComPtr<IZRZone> zone;
    ASSERT_EQ(manager->GetZone(CComVariant(LONG{1}), &zone), S_OK);
    EXPECT_EQ(zone.get(), second.get());
    zone.Release();
    ASSERT_EQ(manager->GetZone(CComVariant(SHORT{0}), &zone), S_OK);
    EXPECT_EQ(zone.get(), first.get());
    zone.Release();
    EXPECT_EQ(manager->GetZone(CComVariant(LONG{2}), &zone), DISP_E_BADINDEX);
    EXPECT_EQ(manager->GetZone(CComVariant(LONG{-1}), &zone), DISP_E_BADINDEX);
    EXPECT_EQ(manager->GetZone(CComVariant("first"), &zone), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(zone.get(), nullptr);
    ASSERT_EQ(manager->RemoveZone(0), S_OK);
    ASSERT_EQ(manager->GetZone(CComVariant(LONG{0}), &zone), S_OK);
    EXPECT_EQ(zone.get(), second.get());
    EXPECT_EQ(manager->RemoveZone(1), E_INVALIDARG);
}

TEST(ZoneManagerTest, SavesEveryZoneInItsOwnUnitsAndLoadsThemBack) {
    CComPtr<CZRZoneManager> manager = Make<CZRZoneManager, ZRZoneManager>();
    CComPtr<IZRZone> inches = NewZone(manager), pixels = NewZone(manager);
    inches->SetRect(1, 1000, 500, 2000, 250);
    CComBSTR name(u"header");
    inches->SetName(name);
    pixels->SetRect(4, 10, 20, 30, 40);
    pixels->SetUnits(4, 300, 300);  // answering units are not saved
    const std::string saved = SavedXml(manager.get());
    EXPECT_EQ(saved,
              "<?xml version=\"1.0\"?>\n<Process>\n\t<ZoneManager>\n"
              "\t\t<Zone Name=\"header\" Units=\"1\" Left=\"1000\" Top=\"500\" Width=\"2000\" Height=\"250\" />\n"
              "\t\t<Zone Units=\"4\" Left=\"10\" Top=\"20\" Width=\"30\" Height=\"40\" />\n"
              "\t</ZoneManager>\n</Process>\n");
    CComPtr<CZRZoneManager> loaded = Make<CZRZoneManager, ZRZoneManager>();
    NewZone(loaded);  // replaced by the load
    ASSERT_EQ(loaded->LoadProperties(ReaderAt(saved, "ZoneManager")), S_OK);
    LONG count = 0;
    loaded->GetCount(&count);
    ASSERT_EQ(count, 2);
    CComPtr<IZRZone> zone;
    ASSERT_EQ(loaded->GetZone(CComVariant(LONG{0}), &zone), S_OK);
    zone->SetUnits(4, 300, 200);
    Rect answer{};
    ASSERT_EQ(Answer(zone, &answer), S_OK);
    EXPECT_EQ(answer, (Rect{300, 100, 600, 50}));
    EXPECT_EQ(SavedXml(loaded.get()), saved);
}

struct BadZone {
    const char* attributes;
    const char* error;
};

class BadZoneTest : public ::testing::TestWithParam<BadZone> {};

TEST_P(BadZoneTest, IsRefusedAndTheOldZonesStay) {
    CComPtr<CZRZoneManager> manager = Make<CZRZoneManager, ZRZoneManager>();
    NewZone(manager);
    const std::string xml = std::string("<Process><ZoneManager><Zone Units=\"4\" /><Zone ") + GetParam().attributes +
                            " /></ZoneManager></Process>";
    EXPECT_EQ(manager->LoadProperties(ReaderAt(xml, "ZoneManager")), ZR_E_ZONE);
    EXPECT_EQ(TakeErrorText(), GetParam().error);
    LONG count = 0;
    manager->GetCount(&count);
    EXPECT_EQ(count, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BadZoneTest,
    ::testing::Values(BadZone{"Units=\"3\"", "Zone units must be 1, 2 or 4."},
                      BadZone{"Left=\"x\"", "Zone attribute Left = \"x\" is not a whole number."},
                      BadZone{"Width=\"12px\"", "Zone attribute Width = \"12px\" is not a whole number."},
                      BadZone{"Top=\"99999999999\"", "Zone attribute Top = \"99999999999\" is not a whole number."}));

}  // namespace
