// The per-worker page driver: the processes' own page filter chooses the
// pages, and progress moves within a page through several processes.
#include "cli/PageDriver.h"

#include "cli/ProcessFactory.h"
#include "tests/cli/CommandTestSupport.h"
#include "tests/cli/FakeProcess.h"

namespace {

const ProcessFactory& Factory() {
    static const ProcessFactory factory;
    return factory;
}

PipelineStep Step(const std::string& description) {
    const std::string kind = Factory().ShortName(description.substr(0, description.find(' ')));
    return PipelineStep{kind, Factory().CreateFromText(description), kind};
}

void SetRange(IZRProcessEx* process, const char16_t* text) {
    CComPtr<ZRPageRange> range;
    ASSERT_EQ(process->GetPageRange(&range), S_OK);
    CComBSTR value(text);
    ASSERT_EQ(range->SetRange(value), S_OK);
}

// A three-page document of pattern pages; answers which pages Invert changed.
std::vector<bool> InvertedPages(PageDriver& driver) {
    CComPtr<CZRDocument> document = HostObject<IZRPageContainer>::Create<CZRDocument>();
    std::vector<bool> inverted;
    for (int seed = 1; seed <= 3; ++seed) {
        CComPtr<CZRPage> page = document->AppendPage(MakePatternPage(8, 4, seed));
        const PageOutcome outcome = driver.Run(page, document);
        EXPECT_TRUE(outcome.ok) << outcome.message;
        inverted.push_back(PixelAt(page->Image()->Handle(), 3, 2) == 255u - PatternAt(3, 2, seed));
    }
    return inverted;
}

struct FilterCase {
    const char* label;
    const char16_t* range;
    LONG mode;
    std::vector<bool> inverted;
};

void PrintTo(const FilterCase& value, std::ostream* out) { *out << value.label; }

class PageFilterTest : public ::testing::TestWithParam<FilterCase> {};

TEST_P(PageFilterTest, ProcessRunsOnThePagesItsFilterTakes) {
    PipelineStep invert = Step("Invert");
    SetRange(invert.process, GetParam().range);
    invert.process->put_Mode(GetParam().mode);
    PageDriver driver({invert});
    EXPECT_EQ(InvertedPages(driver), GetParam().inverted);
}

INSTANTIATE_TEST_SUITE_P(Cases, PageFilterTest,
                         ::testing::Values(FilterCase{"EmptyRangeTakesAll", u"", 0, {true, true, true}},
                                           FilterCase{"SecondOnly", u"2", 0, {false, true, false}},
                                           FilterCase{"OpenEnd", u"2-", 0, {false, true, true}},
                                           FilterCase{"Mode8TakesAll", u"2", 8, {true, true, true}}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(PageDriverTest, FailingProcessEndsThePageAndNamesItself) {
    FakeProcess *first = nullptr, *failing = nullptr, *after = nullptr;
    PageDriver driver({{"first", FakeProcess::Make(S_OK, true, {}, &first), "Fake"},
                       {"failing", FakeProcess::Make(E_INVALIDARG, true, {}, &failing), "Fake"},
                       {"after", FakeProcess::Make(S_OK, true, {}, &after), "Fake"}});
    CComPtr<CZRDocument> document = HostObject<IZRPageContainer>::Create<CZRDocument>();
    const PageOutcome outcome = driver.Run(document->AppendPage(MakePatternPage(8, 4, 1)), document);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.failedProcess, "failing");
    EXPECT_EQ(outcome.hr, E_INVALIDARG);
    EXPECT_EQ(outcome.ran, (std::vector<std::string>{"first", "failing"}));
    EXPECT_EQ(after->calls, 0);
}

TEST(PageDriverTest, SkippedAndUnhandledPagesAreTold) {
    FakeProcess *onlySecond = nullptr, *refusing = nullptr;
    PageDriver driver({{"second", FakeProcess::Make(S_OK, true, {2}, &onlySecond), "Fake"},
                       {"refusing", FakeProcess::Make(S_OK, false, {}, &refusing), "Fake"}});
    CComPtr<CZRDocument> document = HostObject<IZRPageContainer>::Create<CZRDocument>();
    const PageOutcome one = driver.Run(document->AppendPage(MakePatternPage(8, 4, 1)), document);
    const PageOutcome two = driver.Run(document->AppendPage(MakePatternPage(8, 4, 2)), document);
    EXPECT_EQ(one.ran, (std::vector<std::string>{"refusing"}));
    EXPECT_EQ(two.ran, (std::vector<std::string>{"second", "refusing"}));
    EXPECT_EQ(two.unhandled, (std::vector<std::string>{"refusing"}));
    EXPECT_TRUE(one.ok && two.ok);
    EXPECT_EQ(onlySecond->calls, 1);
}

TEST(PageDriverTest, FailingPageFilterFailsThePageNotTheRun) {
    FakeProcess* broken = nullptr;
    PageDriver driver({{"broken", FakeProcess::Make(S_OK, true, {}, &broken), "Fake"}});
    broken->filterAnswer = E_UNEXPECTED;
    CComPtr<CZRDocument> document = HostObject<IZRPageContainer>::Create<CZRDocument>();
    const PageOutcome outcome = driver.Run(document->AppendPage(MakePatternPage(8, 4, 1)), document);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.failedProcess, "broken");
    EXPECT_EQ(outcome.hr, E_UNEXPECTED);
    EXPECT_EQ(broken->calls, 0);
}

TEST(PageDriverTest, ProcessWithoutPageFilterIsRefused) {
    EXPECT_THROW(PageDriver({{"markup", nullptr, "Fake"}}), CliError);
}

TEST(PageDriverTest, ProgressMovesWithinOnePageThroughTwoProcesses) {
    std::vector<double> seen;
    PageDriver driver({Step("Despeckle SIZE=2"), Step("Deskew DetectionType=Text")},
                      [&](double fraction) { seen.push_back(fraction); });
    // A 1-bit page with rows of small black blocks and specks.
    const int handle = ImageWrapper::create_handle_from_scratch(600, 400, 1);
    BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(handle);
    const std::size_t stride = dib::Stride(600, 1);
    for (int y = 40; y < 360; y += 24)
        for (int x = 30; x < 570; x += 9)
            for (int dy = 0; dy < 10; ++dy)
                for (int dx = 0; dx < 6; ++dx) {
                    const int row = 400 - 1 - (y + dy + x / 60);
                    dib::Bits(dib)[stride * static_cast<std::size_t>(row) + static_cast<std::size_t>((x + dx) / 8)] &=
                        static_cast<BYTE>(~(0x80u >> ((x + dx) % 8)));
                }
    CComPtr<CZRDocument> document = HostObject<IZRPageContainer>::Create<CZRDocument>();
    CComPtr<CZRPage> page = document->AppendPage(handle);
    ASSERT_TRUE(driver.Run(page, document).ok);
    ASSERT_GE(seen.size(), 4u);
    EXPECT_EQ(seen.front(), 0.0);
    EXPECT_EQ(seen.back(), 1.0);
    int inFirst = 0, inSecond = 0;
    for (std::size_t i = 1; i < seen.size(); ++i) {
        EXPECT_GE(seen[i], seen[i - 1]) << "progress went back at event " << i;
        inFirst += seen[i] > 0.0 && seen[i] < 0.5;
        inSecond += seen[i] > 0.5 && seen[i] < 1.0;
    }
    EXPECT_GT(inFirst, 0) << "no progress inside the first process";
    EXPECT_GT(inSecond, 0) << "no progress inside the second process";
}

}  // namespace
