// Progress arithmetic and the connection point, as a subscribed host sees them.
#include "framework/CZRProgressTracker.h"
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>

namespace {

class Tracker : public CComObjectRootEx, public CZRProgressTracker {
public:
    void* QueryInterfaceMap(REFIID riid) {
        if (riid == IID_IUnknown || riid == IID_IConnectionPointContainer)
            return static_cast<IConnectionPointContainer*>(this);
        return nullptr;
    }
};

class ProgressTest : public ::testing::Test {
protected:
    void SetUp() override {
        CComObject<Tracker>* tracker = nullptr;
        ASSERT_EQ(CComObject<Tracker>::CreateInstance(&tracker), S_OK);
        tracker_ = tracker;
        CComObject<RecordingSink>* sink = nullptr;
        ASSERT_EQ(CComObject<RecordingSink>::CreateInstance(&sink), S_OK);
        sink_ = sink;
        ASSERT_EQ(tracker_->FindConnectionPoint(IID_IZRProcessExEvents, &point_), S_OK);
        ASSERT_EQ(point_->Advise(static_cast<IZRProcessExEvents*>(sink_.get()), &cookie_), S_OK);
        CComBSTR name(u"Deskew");
        tracker_->beginProgress(name);
    }
    CComPtr<Tracker> tracker_;
    CComPtr<RecordingSink> sink_;
    CComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
};

TEST_F(ProgressTest, RunWithoutRangesReportsPlainPercentages) {
    tracker_->reportProgress(37);
    tracker_->endProgress();
    ASSERT_EQ(sink_->events.size(), 4u);
    EXPECT_EQ(sink_->events[0].id, 301);
    EXPECT_EQ(sink_->events[0].name, "Deskew");
    EXPECT_EQ(sink_->Percents(), (std::vector<LONG>{37, 100}));
    EXPECT_EQ(sink_->events.back().id, 302);
}

struct RangeCase {
    const char* label;
    std::vector<std::pair<int, int>> ranges;
    int report;
    LONG expected;
};

class ProgressRangeTest : public ProgressTest, public ::testing::WithParamInterface<RangeCase> {};

TEST_P(ProgressRangeTest, MapsReportsThroughNestedRanges) {
    for (const auto& [a, b] : GetParam().ranges) tracker_->pushRange(a, b);
    sink_->events.clear();
    tracker_->reportProgress(GetParam().report);
    ASSERT_EQ(sink_->Percents().size(), 1u);
    EXPECT_EQ(sink_->Percents()[0], GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ProgressRangeTest,
                         ::testing::Values(RangeCase{"QuarterToEnd", {{25, 100}}, 50, 62},
                                           RangeCase{"SwappedEnds", {{85, 5}}, 50, 45},
                                           RangeCase{"Clamped", {{-20, 150}}, 40, 40},
                                           RangeCase{"Nested", {{20, 80}, {50, 50}}, 100, 40}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(ProgressTest, LowerReportIsNotFiredButBecomesLast) {
    tracker_->reportProgress(50);
    tracker_->reportProgress(30);
    tracker_->reportProgress(40);
    EXPECT_EQ(sink_->Percents(), (std::vector<LONG>{50, 40}));
}

TEST_F(ProgressTest, EndWithRangeStillPushedReportsItsHighEnd) {
    tracker_->pushRange(5, 85);
    tracker_->endProgress();
    EXPECT_EQ(sink_->Percents().back(), 85);
}

TEST_F(ProgressTest, NextRunStartsAfreshAfterRangedRun) {
    tracker_->pushRange(5, 85);
    tracker_->endProgress();
    sink_->events.clear();
    CComBSTR name(u"Deskew");
    tracker_->beginProgress(name);
    tracker_->reportProgress(20);
    EXPECT_EQ(sink_->Percents(), (std::vector<LONG>{20}));
}

TEST_F(ProgressTest, ConnectionPointRules) {
    CComPtr<Tracker> other;
    CComObject<Tracker>* plain = nullptr;
    CComObject<Tracker>::CreateInstance(&plain);
    other = plain;
    DWORD cookie = 0;
    // An object without the event interface cannot subscribe.
    EXPECT_EQ(point_->Advise(static_cast<IConnectionPointContainer*>(other.get()), &cookie), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(point_->Unadvise(0), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(cookie_, 1u);
    EXPECT_EQ(point_->Unadvise(cookie_), S_OK);
    EXPECT_EQ(point_->Unadvise(cookie_), CONNECT_E_NOCONNECTION);
    CComPtr<IConnectionPoint> none;
    EXPECT_EQ(tracker_->FindConnectionPoint(IID_IDispatch, &none), CONNECT_E_NOCONNECTION);
    sink_->events.clear();
    tracker_->reportProgress(10);
    EXPECT_TRUE(sink_->events.empty());
}

}  // namespace
