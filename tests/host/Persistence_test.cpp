// Host objects saved inside a "Process" element and read back by the walk a
// saved process uses (move to the next node until the element ends; hand
// each "PageRange", "PropertyBag" and "ZoneManager" start to its object),
// through the host's markup object and through the process module's.
#include "host/CZRPageRange.h"
#include "host/CZRPropertyBag.h"
#include "host/CZRZoneManager.h"
#include "tests/host/HostTestSupport.h"
#include "xml/CZRXMLMarkup.h"

#include <gtest/gtest.h>

namespace {

struct HostSet {
    CComPtr<CZRPageRange> range = Make<CZRPageRange, ZRPageRange>();
    CComPtr<CZRPropertyBag> bag = Make<CZRPropertyBag, ZRPropertyBag>();
    CComPtr<CZRZoneManager> zones = Make<CZRZoneManager, ZRZoneManager>();

    HostSet() {
        CComBSTR angle(u"RotationAngle"), type(u"DetectionType");
        bag->AddProperty(angle, CComVariant(SHORT{90}));
        bag->AddProperty(type, CComVariant("Lines"));
    }

    std::string Save(IZRXMLMarkup* markup) {
        CComBSTR job(u"Job"), process(u"Process"), empty(u"");
        markup->AddElement(job, empty);
        markup->AddElement(process, empty);
        EXPECT_EQ(range->SaveProperties(markup), S_OK);
        EXPECT_EQ(bag->SaveProperties(markup), S_OK);
        EXPECT_EQ(zones->SaveProperties(markup), S_OK);
        markup->EndElement();
        markup->AddElement(process, empty);  // a second process follows
        markup->EndElement();
        markup->EndElement();
        CComBSTR xml;
        markup->GetXml(&xml);
        return xml.utf8();
    }

    // The saved-process walk; answers the name the reader stands on afterwards.
    std::string Load(IZRXMLMarkup* markup) {
        CComBSTR process(u"Process");
        VARIANT_BOOL found = VARIANT_FALSE;
        markup->FindElement(process, &found);
        EXPECT_EQ(found, VARIANT_TRUE);
        LONG depth = 0;
        markup->GetDepth(&depth);
        for (;;) {
            VARIANT_BOOL moved = VARIANT_FALSE, start = VARIANT_FALSE;
            markup->MoveNext(&moved);
            if (!moved) break;
            LONG current = 0;
            markup->GetDepth(&current);
            if (current <= depth) break;
            markup->IsStartElement(&start);
            if (!start) continue;
            CComBSTR name;
            markup->GetName(&name);
            HRESULT hr = S_OK;
            if (name.utf8() == "PageRange") hr = range->LoadProperties(markup);
            if (name.utf8() == "PropertyBag") hr = bag->LoadProperties(markup);
            if (name.utf8() == "ZoneManager") hr = zones->LoadProperties(markup);
            EXPECT_EQ(hr, S_OK) << name.utf8();
        }
        CComBSTR name;
        markup->GetName(&name);
        return name.utf8();
    }
};

CComPtr<IZRXMLMarkup> ModuleMarkup() {
    CComPtr<IZRXMLMarkup> markup;
    EXPECT_EQ(CreateXMLMarkup(&markup), S_OK);
    return markup;
}

class PersistenceTest : public ::testing::TestWithParam<bool> {
protected:
    CComPtr<IZRXMLMarkup> Markup() { return GetParam() ? NewMarkup() : ModuleMarkup(); }
};

TEST_P(PersistenceTest, EveryHostObjectComesBack) {
    HostSet saved;
    CComBSTR range(u"2-4,9-"), angle(u"RotationAngle"), note(u"Note");
    saved.range->SetRange(range);
    saved.bag->PutProperty(angle, CComVariant(SHORT{270}));
    saved.bag->PutProperty(note, CComVariant("kept"));
    CComPtr<IZRZone> zone;
    saved.zones->CreateZone(&zone);
    zone->SetRect(2, 254, 0, 508, 127);
    const std::string xml = saved.Save(Markup());

    HostSet loaded;
    CComPtr<IZRXMLMarkup> reader = Markup();
    CComBSTR text(xml);
    ASSERT_EQ(reader->LoadXml(text), S_OK);
    // The walk ends on the end of its element and never swallows what follows.
    EXPECT_EQ(loaded.Load(reader), "Process");
    VARIANT_BOOL start = VARIANT_TRUE;
    reader->IsStartElement(&start);
    EXPECT_EQ(start, VARIANT_FALSE);
    VARIANT_BOOL moved = VARIANT_FALSE;
    reader->MoveNext(&moved);
    reader->IsStartElement(&start);
    LONG depth = 0;
    reader->GetDepth(&depth);
    EXPECT_EQ(start, VARIANT_TRUE);
    EXPECT_EQ(depth, 2) << "the second Process is next";

    EXPECT_EQ(loaded.Save(Markup()), xml);
    LONG count = 0;
    loaded.zones->GetCount(&count);
    EXPECT_EQ(count, 1) << "zones after a bag of properties are loaded too";
    VARIANT_BOOL in = VARIANT_FALSE;
    loaded.range->IsInRange(3, &in);
    EXPECT_EQ(in, VARIANT_TRUE);
}

TEST_P(PersistenceTest, ChildrenOfOtherNamesAreSkippedWithTheirContent) {
    const std::string xml =
        "<Job><Process><PropertyBag><Comment><Property Name=\"Inner\" Type=\"VT_I2\" Value=\"1\" /></Comment>"
        "<Property Name=\"RotationAngle\" Type=\"VT_BSTR\" Value=\"180\" /></PropertyBag>"
        "<ZoneManager><Zone Units=\"4\" Left=\"1\" Top=\"2\" Width=\"3\" Height=\"4\"><Note>x</Note></Zone>"
        "<Other /><Zone Units=\"1\" /></ZoneManager></Process></Job>";
    HostSet loaded;
    CComPtr<IZRXMLMarkup> reader = Markup();
    CComBSTR text(xml);
    ASSERT_EQ(reader->LoadXml(text), S_OK);
    loaded.Load(reader);
    CComBSTR inner(u"Inner"), angle(u"RotationAngle");
    VARIANT_BOOL has = VARIANT_TRUE;
    loaded.bag->HasProperty(inner, &has);
    EXPECT_EQ(has, VARIANT_FALSE) << "only direct children are properties";
    CComVariant value;
    ASSERT_EQ(loaded.bag->GetProperty(angle, &value), S_OK);
    EXPECT_EQ(value.vt, VT_I2);
    EXPECT_EQ(value.iVal, 180);
    LONG count = 0;
    loaded.zones->GetCount(&count);
    EXPECT_EQ(count, 2);
}

INSTANTIATE_TEST_SUITE_P(BothMarkups, PersistenceTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Host" : "Module"; });

}  // namespace
