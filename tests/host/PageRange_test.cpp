// Page ranges: which pages a text selects, which texts are refused (and
// that a refused text leaves the old range), and the saved element.
#include "host/CZRPageRange.h"
#include "host/HostErrors.h"
#include "tests/host/HostTestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace {

struct RangeCase {
    const char* text;
    std::vector<long> in;
    std::vector<long> out;
};

class PageRangeTest : public ::testing::TestWithParam<RangeCase> {};

TEST_P(PageRangeTest, SelectsExactlyThePagesNamed) {
    const RangeCase& c = GetParam();
    auto set = PageRangeSet::Parse(c.text);
    ASSERT_TRUE(set.has_value()) << c.text;
    for (long page : c.in) EXPECT_TRUE(set->Contains(page)) << c.text << " page " << page;
    for (long page : c.out) EXPECT_FALSE(set->Contains(page)) << c.text << " page " << page;
}

INSTANTIATE_TEST_SUITE_P(Table, PageRangeTest,
                         ::testing::Values(RangeCase{"", {1, 2, 1000, LONG_MAX}, {}}, RangeCase{"  ", {1, 7}, {}},
                                           RangeCase{"1-3,5,8-", {1, 2, 3, 5, 8, 9, 99999, LONG_MAX}, {0, 4, 6, 7}},
                                           RangeCase{"-4", {1, 2, 3, 4}, {0, 5, 6}}, RangeCase{"7", {7}, {6, 8}},
                                           RangeCase{" 2 , 4 ", {2, 4}, {1, 3, 5}}, RangeCase{"3-3", {3}, {2, 4}},
                                           RangeCase{"5-,1-2", {1, 2, 5, 6}, {3, 4}},
                                           RangeCase{"2-4,3-6", {2, 3, 4, 5, 6}, {1, 7}},
                                           RangeCase{"999999999", {999999999}, {1}}));

class BadRangeTest : public ::testing::TestWithParam<const char*> {};

TEST_P(BadRangeTest, IsRefusedWithTheOffendingTerm) {
    std::string reason;
    EXPECT_FALSE(PageRangeSet::Parse(GetParam(), &reason).has_value()) << GetParam();
    EXPECT_NE(reason.find("is not a page or a span"), std::string::npos) << reason;
}

INSTANTIATE_TEST_SUITE_P(Table, BadRangeTest,
                         ::testing::Values("0", "3-2", "1,,2", ",1", "1,", "a-b", "-", "--3", "1-2-3", "2-0",
                                           "99999999999", "1.5", "+3", "x", "5-a"));

CComPtr<CZRPageRange> NewRange(const char16_t* text) {
    CComPtr<CZRPageRange> range = Make<CZRPageRange, ZRPageRange>();
    CComBSTR value(text);
    EXPECT_EQ(range->SetRange(value), S_OK);
    return range;
}

bool InRange(CZRPageRange* range, LONG page) {
    VARIANT_BOOL in = VARIANT_FALSE;
    EXPECT_EQ(range->IsInRange(page, &in), S_OK);
    return in == VARIANT_TRUE;
}

TEST(PageRangeObjectTest, ARefusedTextKeepsTheOldRangeAndSaysWhy) {
    CComPtr<CZRPageRange> range = NewRange(u"2-");
    CComBSTR bad(u"1-x");
    EXPECT_EQ(range->SetRange(bad), ZR_E_PAGE_RANGE);
    EXPECT_EQ(TakeErrorText(), "Invalid page range \"1-x\": '1-x' is not a page or a span such as 3, 2-5 or 8-.");
    CComBSTR text;
    range->GetRange(&text);
    EXPECT_EQ(text.utf8(), "2-");
    EXPECT_FALSE(InRange(range, 1));
    EXPECT_TRUE(InRange(range, 2));
    VARIANT_BOOL valid = VARIANT_TRUE;
    EXPECT_EQ(range->IsValidRange(bad, &valid), S_OK);
    EXPECT_EQ(valid, VARIANT_FALSE);
}

TEST(PageRangeObjectTest, AFreshRangeTakesEveryPage) {
    CComPtr<CZRPageRange> range = Make<CZRPageRange, ZRPageRange>();
    EXPECT_TRUE(InRange(range, 1));
    EXPECT_TRUE(InRange(range, 5000));
}

TEST(PageRangeObjectTest, SavesItsTextAndLoadsItBack) {
    CComPtr<CZRPageRange> range = NewRange(u"1-3,5,8-");
    const std::string saved = SavedXml(range.get());
    EXPECT_EQ(saved, "<?xml version=\"1.0\"?>\n<Process>\n\t<PageRange Range=\"1-3,5,8-\" />\n</Process>\n");
    CComPtr<CZRPageRange> loaded = Make<CZRPageRange, ZRPageRange>();
    ASSERT_EQ(loaded->LoadProperties(ReaderAt(saved, "PageRange")), S_OK);
    for (LONG page : {1, 3, 5, 8, 100}) EXPECT_TRUE(InRange(loaded, page)) << page;
    for (LONG page : {4, 6, 7}) EXPECT_FALSE(InRange(loaded, page)) << page;
}

TEST(PageRangeObjectTest, ASavedBadRangeFailsTheLoad) {
    CComPtr<CZRPageRange> range = NewRange(u"4");
    EXPECT_EQ(range->LoadProperties(ReaderAt("<Process><PageRange Range=\"4-1\" /></Process>", "PageRange")),
              ZR_E_PAGE_RANGE);
    EXPECT_TRUE(InRange(range, 4));
    EXPECT_FALSE(InRange(range, 1));
}

}  // namespace
