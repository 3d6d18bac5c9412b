// SpeckleRemover: erases speckle from a black-and-white page. Every
// 4-connected group of black pixels whose bounding box has no side longer than
// the size limit is erased, except, with character preservation on, a group
// of 3 pixels or more lying within 6 pixels straight above, below, left or
// right of a larger group (the dot of an i, an accent); the three measures can
// be scaled to the page's resolution (RuleFor). One remover lives in each
// despeckle process and keeps its tables from page to page.
//
// Two roads give the same pixels. The label-map engine visits every pixel once
// in column order with a 16-bit label per pixel and labels at most 65534
// groups per batch (a page with more is cleaned batch by batch); it serves any
// page. The run road (SpeckleRunLabeller) works on the packed rows and takes
// every 1-bit page with fewer groups than one batch; it costs a few
// milliseconds on an A4 page at 300 dpi, where the label map costs tens.
#pragma once

#include "image/PixelCursor.h"
#include "processes/cleanup/SpeckleRunLabeller.h"

#include <cstdint>
#include <vector>

class CZRProgressTracker;
class PixelImage;

// One group of the label-map engine: its bounding box (inclusive), the longer
// side of the box, and whether that side exceeds the size limit.
struct SpeckleGroupBox {
    std::uint16_t x0 = 0;
    std::uint16_t x1 = 0;
    std::uint16_t y0 = 0;
    std::uint16_t y1 = 0;
    std::uint16_t size = 0;
    std::uint8_t large = 0;
};

class SpeckleRemover {
public:
    static constexpr std::uint16_t kUnvisited = 0;
    static constexpr std::uint16_t kWhite = 65535;
    // Labels 1..65534 name groups; a batch ends when all are used.
    static constexpr std::uint32_t kBatchGroups = 65534;

    SpeckleRemover() = default;
    SpeckleRemover(const SpeckleRemover&) = delete;
    SpeckleRemover& operator=(const SpeckleRemover&) = delete;

    // The size limit a "SIZE" value stands for: its low 16 bits, 0 taken as 1,
    // above 500 taken as 500. Negative values mean no size at all, as 0 does.
    static std::uint16_t SizeLimitFor(long size);

    // The rule for a page of `xResolution` dots per inch. With `sizeDpi` and
    // the resolution both above 0 the rule's three measures are meant at
    // `sizeDpi` and follow the page: the size limit (that of `size`, scaled,
    // within 1 ... 500), the size that goes even beside a character (2 scaled,
    // at least 1) and the near distance (6 scaled, within 6 ... 64: never
    // shorter than the documented reach). Otherwise the documented rule.
    static SpeckleRule RuleFor(long size, bool preserve, long sizeDpi, long xResolution);
    // `pixels` at `sizeDpi` on a page of `xResolution` dots per inch, rounded
    // to the nearest whole pixel and kept within lo ... hi; `pixels` as it is
    // (within lo ... hi) when either resolution is 0 or less.
    static long ScaledToPage(long pixels, long sizeDpi, long xResolution, long lo, long hi);
    // The resolution that sizes are scaled to on a page of width x height
    // pixels: the recorded one, unless the page records none (0 or less) or
    // a placeholder (under 100 dpi, making the shorter side longer than 17
    // inches, as 72 dpi on a 300-dpi scan); then the one the page would have
    // as an A4 or Letter sheet, its shorter side over 8.27 inches (at least
    // 1). A wrong guess errs small on small pages: less is erased, not more.
    static long PageResolution(long recorded, long width, long height);

    void setRule(const SpeckleRule& rule) { rule_ = rule; }
    const SpeckleRule& rule() const { return rule_; }
    void setSizeLimit(std::uint16_t limit) { rule_.sizeLimit = limit; }
    void setPreserve(bool preserve) { rule_.preserve = preserve; }
    std::uint16_t sizeLimit() const { return rule_.sizeLimit; }
    // The process that receives progress reports (0 to 100 of the engine's
    // share), or null.
    void setProgressOwner(CZRProgressTracker* owner) { progress_ = owner; }

    // Cleans the page: by runs when it is a plain-view 1-bit page with fewer
    // than kBatchGroups groups, otherwise with the label map. CZRException
    // 2160 for a null image, 2159 when the label map cannot be allocated.
    void run(PixelImage* image);
    // Always the label-map engine (tests compare the two roads with it).
    void runWithLabelMap(PixelImage* image);

private:
    struct Position {
        std::uint16_t x;
        std::uint16_t y;
    };

    void runOn(PixelImage* image, bool allowRuns);
    void prepareLabelMap();
    void clearLabelMap();
    void clearRecords();
    void labelPage();
    void fill(int x, int y, std::uint16_t group);
    void eraseGroups();
    bool nearLarge(const SpeckleGroupBox& box, std::uint16_t own) const;
    void report(int percent);
    void pushPending(Position position);

    std::uint16_t& labelAt(int x, int y) {
        return labels_[static_cast<std::size_t>(x) * labelRows_ + static_cast<std::size_t>(y)];
    }
    std::uint16_t labelAt(int x, int y) const {
        return labels_[static_cast<std::size_t>(x) * labelRows_ + static_cast<std::size_t>(y)];
    }

    std::uint16_t width_ = 0;
    std::uint16_t height_ = 0;
    SpeckleRule rule_;
    std::uint32_t groupCount_ = 0;
    // Label per pixel, column after column: 0 not visited, 65535 visited
    // white, 1..65534 a group. Kept between pages while the page size stays
    // within once and twice its allocated size.
    std::vector<std::uint16_t> labels_;
    std::uint32_t labelColumns_ = 0;
    std::uint32_t labelRows_ = 0;
    PixelImage* image_ = nullptr;
    std::vector<SpeckleGroupBox> records_;  // entry i describes group i; entry 0 stays empty
    // Positions still to be expanded by the fill: a ring, first in first out.
    std::vector<Position> pending_;
    std::size_t pendingHead_ = 0;
    std::size_t pendingCount_ = 0;
    PixelCursor reader_;  // the labelling cursor (reads)
    PixelCursor cursor_;  // the engine's own cursor (white writes)
    CZRProgressTracker* progress_ = nullptr;
    SpeckleRunLabeller runs_;
};
