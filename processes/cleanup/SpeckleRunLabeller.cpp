// SpeckleRunLabeller: run extraction on MSB-first packed rows (a set bit is
// white), union-find over overlapping runs, and erasure by runs.
#include "processes/cleanup/SpeckleRunLabeller.h"

#include "framework/CZRProgressTracker.h"
#include "image/PixelImage.h"

#include <bit>
#include <cstring>

namespace {

// Eight bytes of a packed row as one word whose most significant bit is the
// leftmost pixel. Bytes past `available` read as white.
std::uint64_t LoadWord(const std::uint8_t* bytes, int available) {
    std::uint64_t word = ~std::uint64_t{0};
    std::memcpy(&word, bytes, static_cast<std::size_t>(std::min(available, 8)));
    if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
    return word;
}

// Sets pixels x0..x1 of an MSB-first row white.
void FillWhite(std::uint8_t* row, int x0, int x1) {
    const int b0 = x0 >> 3;
    const int b1 = x1 >> 3;
    const auto head = static_cast<std::uint8_t>(0xFFu >> (x0 & 7));
    const auto tail = static_cast<std::uint8_t>(0xFFu << (7 - (x1 & 7)));
    if (b0 == b1) {
        row[b0] |= static_cast<std::uint8_t>(head & tail);
        return;
    }
    row[b0] |= head;
    if (b1 > b0 + 1) std::memset(row + b0 + 1, 0xFF, static_cast<std::size_t>(b1 - b0 - 1));
    row[b1] |= tail;
}

// Mask of bits lo..hi (0..63, lo <= hi) of a least-significant-first word.
std::uint64_t BitRange(int lo, int hi) {
    const std::uint64_t upTo = hi == 63 ? ~std::uint64_t{0} : (std::uint64_t{1} << (hi + 1)) - 1;
    return upTo & (~std::uint64_t{0} << lo);
}

}  // namespace

// Black runs of one row, found a word at a time: an all-white word outside a
// run, or an all-black word inside one, costs a single comparison.
void SpeckleRunLabeller::appendRuns(const std::uint8_t* row) {
    const int width = width_;
    const int rowBytes = (width + 7) / 8;
    bool open = false;
    int start = 0;
    for (int base = 0; base < width; base += 64) {
        std::uint64_t black = ~LoadWord(row + base / 8, rowBytes - base / 8);
        if (width - base < 64) black &= ~std::uint64_t{0} << (64 - (width - base));  // padding is not ink
        if (black == (open ? ~std::uint64_t{0} : 0)) continue;
        int pos = 0;
        while (pos < 64) {
            if (!open) {
                const std::uint64_t rest = black << pos;
                if (rest == 0) break;
                pos += std::countl_zero(rest);
                start = base + pos;
                open = true;
            } else {
                const std::uint64_t rest = ~black << pos;
                if (rest == 0) break;
                pos += std::countl_zero(rest);
                runs_.push_back({static_cast<std::uint16_t>(start), static_cast<std::uint16_t>(base + pos - 1)});
                open = false;
            }
        }
    }
    if (open) runs_.push_back({static_cast<std::uint16_t>(start), static_cast<std::uint16_t>(width - 1)});
}

std::uint32_t SpeckleRunLabeller::find(std::uint32_t run) {
    while (parent_[run] != run) {
        parent_[run] = parent_[parent_[run]];
        run = parent_[run];
    }
    return run;
}

void SpeckleRunLabeller::unite(std::uint32_t a, std::uint32_t b) {
    a = find(a);
    b = find(b);
    if (a < b)
        parent_[b] = a;
    else if (b < a)
        parent_[a] = b;
}

// Runs of two neighbouring rows touch (4-connectedly) when their column
// ranges overlap; both lists are sorted, so one merge pass finds every pair.
void SpeckleRunLabeller::linkRows(std::uint32_t above, std::uint32_t begin, std::uint32_t end) {
    std::uint32_t i = above;
    std::uint32_t j = begin;
    while (i < begin && j < end) {
        const Run& a = runs_[i];
        const Run& b = runs_[j];
        if (a.x1 < b.x0) {
            ++i;
        } else if (b.x1 < a.x0) {
            ++j;
        } else {
            unite(i, j);
            if (a.x1 < b.x1)
                ++i;
            else
                ++j;
        }
    }
}

bool SpeckleRunLabeller::label(const PixelImage& image, std::uint32_t maxGroups) {
    width_ = image.width();
    height_ = image.height();
    runs_.clear();
    parent_.clear();
    rowStart_.assign(static_cast<std::size_t>(height_) + 1, 0);
    for (int y = 0; y < height_; ++y) {
        const auto begin = static_cast<std::uint32_t>(runs_.size());
        rowStart_[static_cast<std::size_t>(y)] = begin;
        appendRuns(image.row(y));
        const auto end = static_cast<std::uint32_t>(runs_.size());
        for (std::uint32_t r = begin; r < end; ++r) parent_.push_back(r);
        if (y > 0) linkRows(rowStart_[static_cast<std::size_t>(y - 1)], begin, end);
    }
    const auto runCount = static_cast<std::uint32_t>(runs_.size());
    rowStart_[static_cast<std::size_t>(height_)] = runCount;

    // Roots are the smallest run of their group, so a group is numbered when
    // its first run is met and every later run finds its root numbered.
    group_.resize(runCount);
    groupCount_ = 0;
    for (std::uint32_t r = 0; r < runCount; ++r) {
        const std::uint32_t root = find(r);
        if (root == r) {
            if (groupCount_ >= maxGroups) return false;
            group_[r] = groupCount_++;
        } else {
            group_[r] = group_[root];
        }
    }
    if (groupCount_ >= maxGroups) return false;

    boxes_.assign(groupCount_, Box{0xFFFF, 0, 0xFFFF, 0});
    for (int y = 0; y < height_; ++y) {
        const auto row = static_cast<std::uint16_t>(y);
        for (std::uint32_t r = rowStart_[static_cast<std::size_t>(y)]; r < rowStart_[static_cast<std::size_t>(y) + 1];
             ++r) {
            Box& box = boxes_[group_[r]];
            box.x0 = std::min(box.x0, runs_[r].x0);
            box.x1 = std::max(box.x1, runs_[r].x1);
            box.y0 = std::min(box.y0, row);
            box.y1 = std::max(box.y1, row);
        }
    }
    return true;
}

void SpeckleRunLabeller::buildLargeMask() {
    maskWords_ = (width_ + 63) / 64;
    largeMask_.assign(static_cast<std::size_t>(maskWords_) * static_cast<std::size_t>(height_), 0);
    for (int y = 0; y < height_; ++y) {
        std::uint64_t* words = largeMask_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(maskWords_);
        for (std::uint32_t r = rowStart_[static_cast<std::size_t>(y)]; r < rowStart_[static_cast<std::size_t>(y) + 1];
             ++r) {
            if (verdict_[group_[r]] != kKeep) continue;  // small groups are never kept at this point
            const int x0 = runs_[r].x0;
            const int x1 = runs_[r].x1;
            for (int w = x0 / 64; w <= x1 / 64; ++w)
                words[w] |= BitRange(w == x0 / 64 ? x0 % 64 : 0, w == x1 / 64 ? x1 % 64 : 63);
        }
    }
}

bool SpeckleRunLabeller::anyLarge(int y, int x0, int x1) const {
    const std::uint64_t* words = largeMask_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(maskWords_);
    for (int w = x0 / 64; w <= x1 / 64; ++w)
        if (words[w] & BitRange(w == x0 / 64 ? x0 % 64 : 0, w == x1 / 64 ? x1 % 64 : 63)) return true;
    return false;
}

// The box's own columns from `reach` rows above to `reach` rows below it, and
// its own rows from `reach` columns left to `reach` columns right of it; the
// diagonal corners beyond the box are not looked at.
bool SpeckleRunLabeller::nearLarge(const Box& box, int reach) const {
    const int rowFrom = std::max(0, box.y0 - reach);
    const int rowTo = std::min(height_ - 1, box.y1 + reach);
    for (int y = rowFrom; y <= rowTo; ++y)
        if (anyLarge(y, box.x0, box.x1)) return true;
    const int colFrom = std::max(0, box.x0 - reach);
    const int colTo = std::min(width_ - 1, box.x1 + reach);
    for (int y = box.y0; y <= box.y1; ++y)
        if (anyLarge(y, colFrom, colTo)) return true;
    return false;
}

void SpeckleRunLabeller::erase(PixelImage& image, const SpeckleRule& rule, CZRProgressTracker* progress) {
    const std::uint32_t count = groupCount_;
    verdict_.assign(count, kKeep);
    bool anyLooking = false;
    for (std::uint32_t g = 0; g < count; ++g) {
        const Box& box = boxes_[g];
        const unsigned size = std::max(box.x1 - box.x0 + 1, box.y1 - box.y0 + 1);
        if (rule.isLarge(size)) continue;
        if (rule.erasesWithoutLooking(size)) {
            verdict_[g] = kErase;
        } else {
            verdict_[g] = kEraseUnlessNear;
            anyLooking = true;
        }
    }
    if (anyLooking) buildLargeMask();

    if (progress) progress->reportProgress(80);
    for (std::uint32_t i = 1; i <= count; ++i) {
        if (progress && i % 10 == 0) progress->reportProgress(static_cast<int>(80 + 20 * i / count));
        std::uint8_t& verdict = verdict_[i - 1];
        if (verdict == kEraseUnlessNear) verdict = nearLarge(boxes_[i - 1], rule.nearDistance) ? kKeep : kErase;
    }

    for (int y = 0; y < height_; ++y) {
        std::uint8_t* row = image.row(y);
        for (std::uint32_t r = rowStart_[static_cast<std::size_t>(y)]; r < rowStart_[static_cast<std::size_t>(y) + 1];
             ++r)
            if (verdict_[group_[r]] == kErase) FillWhite(row, runs_[r].x0, runs_[r].x1);
    }
}
