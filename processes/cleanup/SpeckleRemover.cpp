// SpeckleRemover: the label-map engine and the choice of road.
#include "processes/cleanup/SpeckleRemover.h"

#include "framework/CZRException.h"
#include "framework/CZRProgressTracker.h"
#include "image/PixelImage.h"
#include "resources/MessageIds.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace {

constexpr std::size_t kPendingSlots = 65535;
constexpr std::uint16_t kLargestLimit = 500;
// The reach of character preservation at very high resolutions: each small
// group looks this far around it, so it is bounded.
constexpr long kLargestNearDistance = 64;

// Clears the engine's image pointer (and the cursor it lent the image) when a
// page ends, normally or by an exception.
class PageScope {
public:
    PageScope(PixelImage*& image, PixelImage* page) : image_(image) { image_ = page; }
    ~PageScope() {
        if (image_) image_->setCursor(nullptr);
        image_ = nullptr;
    }
    PageScope(const PageScope&) = delete;
    PageScope& operator=(const PageScope&) = delete;

private:
    PixelImage*& image_;
};

}  // namespace

std::uint16_t SpeckleRemover::SizeLimitFor(long size) {
    if (size < 0) return 1;
    const auto low = static_cast<std::uint16_t>(static_cast<unsigned long>(size) & 0xFFFFu);
    if (low == 0) return 1;
    return std::min(low, kLargestLimit);
}

long SpeckleRemover::ScaledToPage(long pixels, long sizeDpi, long xResolution, long lo, long hi) {
    if (sizeDpi <= 0 || xResolution <= 0) return std::clamp(pixels, lo, hi);
    // In floating point and bounded before rounding: no resolution overflows.
    const double scaled = static_cast<double>(pixels) * static_cast<double>(xResolution) / static_cast<double>(sizeDpi);
    return std::lround(std::clamp(scaled, static_cast<double>(lo), static_cast<double>(hi)));
}

long SpeckleRemover::PageResolution(long recorded, long width, long height) {
    constexpr long kPlaceholderBelow = 100;       // dpi: 72 and 96 are what "unknown" is often written as
    constexpr double kLargestShorterSide = 17.0;  // inches: an A2 sheet's shorter side is 16.5
    constexpr double kPaperShorterSide = 8.27;    // inches: A4 (Letter's is 8.5)
    const double shorter = static_cast<double>(std::max(1L, std::min(width, height)));
    if (recorded >= kPlaceholderBelow ||
        (recorded > 0 && shorter / static_cast<double>(recorded) <= kLargestShorterSide))
        return recorded;
    return std::max(1L, std::lround(shorter / kPaperShorterSide));
}

SpeckleRule SpeckleRemover::RuleFor(long size, bool preserve, long sizeDpi, long xResolution) {
    SpeckleRule rule;
    rule.preserve = preserve;
    rule.sizeLimit =
        static_cast<std::uint16_t>(ScaledToPage(SizeLimitFor(size), sizeDpi, xResolution, 1, kLargestLimit));
    rule.alwaysErased =
        static_cast<std::uint16_t>(ScaledToPage(SpeckleRule::kAlwaysErased, sizeDpi, xResolution, 1, kLargestLimit));
    rule.nearDistance = static_cast<int>(ScaledToPage(SpeckleRule::kNearDistance, sizeDpi, xResolution,
                                                      SpeckleRule::kNearDistance, kLargestNearDistance));
    return rule;
}

void SpeckleRemover::report(int percent) {
    if (progress_) progress_->reportProgress(percent);
}

void SpeckleRemover::run(PixelImage* image) { runOn(image, true); }

void SpeckleRemover::runWithLabelMap(PixelImage* image) { runOn(image, false); }

void SpeckleRemover::runOn(PixelImage* image, bool allowRuns) {
    if (!image) throw CZRException(static_cast<UINT>(IDS_UNKNOWN_INTERNAL_ERROR));
    PageScope scope(image_, image);
    width_ = static_cast<std::uint16_t>(image->viewWidth());
    height_ = static_cast<std::uint16_t>(image->viewHeight());
    const bool byRuns = allowRuns && image->bitCount() == 1 && !image->rotatedView();
    // A failed allocation is the handler chain's "Out of memory".
    if (!byRuns) prepareLabelMap();
    report(5);
    groupCount_ = 0;
    clearRecords();
    report(10);
    if (byRuns && runs_.label(*image, kBatchGroups)) {
        // The label map reports its column progress while it labels.
        for (int x = 0; x < width_; x += 400) report(25 + 50 * x / width_);
        report(75);
        runs_.erase(*image, rule_, progress_);
        return;
    }
    if (byRuns) prepareLabelMap();
    labelPage();
    report(75);
    eraseGroups();
}

// The label map is kept while its columns lie between the width and twice the
// width and its rows between the height and twice the height; otherwise it is
// made anew with 20 % to spare each way. Sizes are held in 32 bits: 1.2 times
// a side of up to 65535 pixels does not fit in 16.
void SpeckleRemover::prepareLabelMap() {
    const std::uint32_t w = width_;
    const std::uint32_t h = height_;
    const bool keep = labelColumns_ >= w && labelColumns_ <= 2 * w && labelRows_ >= h && labelRows_ <= 2 * h;
    if (!keep) {
        labels_ = std::vector<std::uint16_t>();
        labelColumns_ = labelRows_ = 0;
        const auto columns = static_cast<std::uint32_t>(1.2 * w);
        const auto rows = static_cast<std::uint32_t>(1.2 * h);
        labels_.resize(static_cast<std::size_t>(columns) * rows);
        labelColumns_ = columns;
        labelRows_ = rows;
    }
    if (records_.empty()) records_.resize(kBatchGroups + 1);
    if (pending_.empty()) pending_.resize(kPendingSlots);
    clearLabelMap();
}

// Only the page's own columns are ever read, so only they are cleared.
void SpeckleRemover::clearLabelMap() {
    std::fill_n(labels_.begin(), static_cast<std::size_t>(width_) * labelRows_, kUnvisited);
}

void SpeckleRemover::clearRecords() {
    if (!records_.empty()) std::fill(records_.begin(), records_.end(), SpeckleGroupBox{});
}

// Column after column, top to bottom: every unvisited black pixel starts a new
// group. When all group labels are in use, the groups found so far are judged
// and erased, and labelling goes on with a cleared map.
void SpeckleRemover::labelPage() {
    reader_ = PixelCursor{};
    image_->setCursor(&reader_);
    for (int x = 0; x < width_; ++x) {
        if (x % 400 == 0) report(25 + 50 * x / width_);
        for (int y = 0; y < height_; ++y) {
            if (groupCount_ >= kBatchGroups) {
                eraseGroups();
                clearRecords();
                clearLabelMap();
                image_->setCursor(&reader_);
                groupCount_ = 0;
            }
            std::uint16_t& label = labelAt(x, y);
            if (label != kUnvisited) continue;
            reader_.x = static_cast<std::uint16_t>(x);
            reader_.y = static_cast<std::uint16_t>(y);
            if (image_->isWhiteAt()) {
                label = kWhite;
                continue;
            }
            const auto group = static_cast<std::uint16_t>(++groupCount_);
            SpeckleGroupBox& box = records_[group];
            box.x0 = box.x1 = static_cast<std::uint16_t>(x);
            box.y0 = box.y1 = static_cast<std::uint16_t>(y);
            fill(x, y, group);
            box.size = static_cast<std::uint16_t>(std::max(box.y1 - box.y0 + 1, box.x1 - box.x0 + 1));
            box.large = rule_.isLarge(box.size) ? 1 : 0;
        }
    }
}

// The ring grows when a group's frontier outgrows it, so every group is
// labelled whole: a cut-off remnant of a large area would otherwise count as
// a group of its own and might be erased as a speck.
void SpeckleRemover::pushPending(Position position) {
    if (pendingCount_ == pending_.size()) {
        std::vector<Position> larger(pending_.size() * 2);
        for (std::size_t i = 0; i < pendingCount_; ++i) larger[i] = pending_[(pendingHead_ + i) % pending_.size()];
        pending_.swap(larger);
        pendingHead_ = 0;
    }
    pending_[(pendingHead_ + pendingCount_) % pending_.size()] = position;
    ++pendingCount_;
}

// Breadth first from (x, y) over the four neighbours right, left, below,
// above; visited white pixels are marked on the way.
void SpeckleRemover::fill(int x, int y, std::uint16_t group) {
    SpeckleGroupBox& box = records_[group];
    labelAt(x, y) = group;
    pendingHead_ = 0;
    pendingCount_ = 0;
    pushPending({static_cast<std::uint16_t>(x), static_cast<std::uint16_t>(y)});
    const int dx[4] = {1, -1, 0, 0};
    const int dy[4] = {0, 0, 1, -1};
    while (pendingCount_ > 0) {
        const Position at = pending_[pendingHead_];
        pendingHead_ = (pendingHead_ + 1) % pending_.size();
        --pendingCount_;
        for (int k = 0; k < 4; ++k) {
            const int nx = at.x + dx[k];
            const int ny = at.y + dy[k];
            if (nx < 0 || ny < 0 || nx >= width_ || ny >= height_) continue;
            std::uint16_t& label = labelAt(nx, ny);
            if (label != kUnvisited) continue;
            reader_.x = static_cast<std::uint16_t>(nx);
            reader_.y = static_cast<std::uint16_t>(ny);
            if (image_->isWhiteAt()) {
                label = kWhite;
                continue;
            }
            const auto px = static_cast<std::uint16_t>(nx);
            const auto py = static_cast<std::uint16_t>(ny);
            box.x0 = std::min(box.x0, px);
            box.x1 = std::max(box.x1, px);
            box.y0 = std::min(box.y0, py);
            box.y1 = std::max(box.y1, py);
            label = group;
            pushPending({px, py});
        }
    }
}

// Labels in the box's own columns from the rule's near distance above to as
// far below it, and in its own rows as far left and right of it.
bool SpeckleRemover::nearLarge(const SpeckleGroupBox& box, std::uint16_t own) const {
    const int d = rule_.nearDistance;
    const auto isOtherLarge = [&](int x, int y) {
        const std::uint16_t label = labelAt(x, y);
        return label != kUnvisited && label != kWhite && label != own && records_[label].large;
    };
    const int rowFrom = std::max(0, box.y0 - d);
    const int rowTo = std::min(height_ - 1, box.y1 + d);
    for (int x = box.x0; x <= box.x1; ++x)
        for (int y = rowFrom; y <= rowTo; ++y)
            if (isOtherLarge(x, y)) return true;
    const int colFrom = std::max(0, box.x0 - d);
    const int colTo = std::min(width_ - 1, box.x1 + d);
    for (int x = colFrom; x <= colTo; ++x)
        for (int y = box.y0; y <= box.y1; ++y)
            if (isOtherLarge(x, y)) return true;
    return false;
}

void SpeckleRemover::eraseGroups() {
    report(80);
    cursor_ = PixelCursor{};
    image_->setCursor(&cursor_);
    const std::uint32_t count = groupCount_;
    for (std::uint32_t i = 1; i <= count; ++i) {
        if (i % 10 == 0) report(static_cast<int>(80 + 20 * i / count));
        const SpeckleGroupBox& box = records_[i];
        if (box.large) continue;
        const auto group = static_cast<std::uint16_t>(i);
        if (!rule_.erasesWithoutLooking(box.size) && nearLarge(box, group)) continue;
        for (int y = box.y0; y <= box.y1; ++y) {
            for (int x = box.x0; x <= box.x1; ++x) {
                std::uint16_t& label = labelAt(x, y);
                if (label != group) continue;
                cursor_.x = static_cast<std::uint16_t>(x);
                cursor_.y = static_cast<std::uint16_t>(y);
                image_->setPixelAt();
                label = kWhite;
            }
        }
    }
    groupCount_ = 0;
}
