// Helpers for the clean-up process tests: 1-bit documents drawn from grids,
// the page's status messages, and the progress percentages of one run.
#pragma once

#include "tests/processes/cleanup/BitGrid.h"
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cleanup_test {

inline std::vector<PostedMessage> Messages(CZRPage* page) { return PostedMessages(page); }

// Progress percentages of one run of `process` on `page`; the run must open with 301 and close with 302.
template <class Process>
std::vector<LONG> ProgressOf(Process* process, CZRPage* page) {
    CComObject<RecordingSink>* object = nullptr;
    CComObject<RecordingSink>::CreateInstance(&object);
    CComPtr<RecordingSink> sink(object);
    CComPtr<IConnectionPoint> point;
    EXPECT_EQ(process->FindConnectionPoint(IID_IZRProcessExEvents, &point), S_OK);
    DWORD cookie = 0;
    EXPECT_EQ(point->Advise(static_cast<IZRProcessExEvents*>(sink.get()), &cookie), S_OK);
    VARIANT_BOOL result = VARIANT_FALSE;
    process->Process(page, &result);
    point->Unadvise(cookie);
    EXPECT_FALSE(sink->events.empty());
    if (!sink->events.empty()) {
        EXPECT_EQ(sink->events.front().id, 301);
        EXPECT_EQ(sink->events.back().id, 302);
    }
    return sink->Percents();
}

// A document holding one 1-bit page drawn from `grid`.
inline CComPtr<CZRDocument> DocumentOf(const Grid& grid) {
    CComPtr<CZRDocument> document = MakeDocument(grid.width, grid.height, 1);
    LibraryPage::Write(ImageWrapper::get_raw_dib(document->Pages()[0]->Image()->Handle()), grid);
    return document;
}

inline Grid GridOf(CZRPage* page) { return LibraryPage::Read(ImageWrapper::get_raw_dib(page->Image()->Handle())); }

}  // namespace cleanup_test
