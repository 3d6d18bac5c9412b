// Line removal: erases the ruled lines of one orientation (form lines,
// underlines, table rules) from a page, in place, and can rebuild the strokes
// of the characters a line crossed. Lines are found (by the line signature's
// edge search or, with "DETECTION" 1, by RuleTracker's trace of long dark
// runs) and cut into pieces of uniform thickness (LRLineSig), painted in the
// background colour (LineEraser), and with "RECONSTRUCTION" the stroke ends
// facing each other across an erased line are joined again (with "DETECTION"
// 1: the straight strokes that go on on both sides of it). Vertical lines are
// handled in the quarter-turned view of the page. 1-, 8- and 24-bit pages;
// deeper pages are read through a thresholded 1-bit view and written in their
// own colours. Cost on a 300-dpi A4 page: tens of milliseconds, most of it in
// the sparse line probe (or the row scan of the trace) and, with
// reconstruction, in labelling the components that touch a line. Not
// zone-capable.
#pragma once

#include "framework/ProcessClass.h"
#include "processes/lines/LRLineSig.h"
#include "processes/lines/LineEraser.h"
#include "resources/Identifiers.h"

inline constexpr CLSID CLSID_ZRLineRemoval = MakeGuid("{D9E257DC-1E8A-4EA8-9E25-CFA9C424C1BF}");

class CZRLineRemoval : public ProcessClass<CZRLineRemoval, ProcessExImpl<CLSID_ZRLineRemoval>> {
public:
    static const ClassDescriptor kDescriptor;

    HRESULT Process(IZRPage* page, VARIANT_BOOL* result) override;

    // Whether an "ORIENTATION" value selects horizontal lines: a string that
    // reads "HORIZONTAL" in any letter case, or any value that is no string.
    static bool IsHorizontal(const VARIANT& orientation);

private:
    // Kept from page to page; every page rebuilds their lists and maps.
    LRLineSig signature_;
    LineEraser eraser_;
};
