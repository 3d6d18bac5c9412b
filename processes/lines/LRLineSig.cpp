// LRLineSig: the rerun of the detection, the column profile of every line, its
// cut into pieces of uniform thickness, and the labelling of the components
// that touch a line.
#include "processes/lines/LRLineSig.h"

#include "framework/QNCException.h"
#include "processes/lines/RuleTracker.h"
#include "resources/MessageIds.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

LRLineSig::LRLineSig() : LineSig(nullptr) { bothViews = false; }

bool LRLineSig::isEmpty() const { return horizontalGroups_.empty() && verticalGroups_.empty(); }

void LRLineSig::clearGroups() {
    horizontalGroups_.clear();
    verticalGroups_.clear();
}

void LRLineSig::freeComponentMap() {
    componentMap_.clear();
    componentMap_.shrink_to_fit();
    mapWidth_ = mapHeight_ = 0;
    componentCount_ = 0;
}

void LRLineSig::detect(PixelImage* image, BoolImage* boolImage) {
    clearGroups();
    if (detection == Detection::RunTrace) {
        traceRules(image, boolImage);
    } else {
        searchEdges(image, boolImage);
    }
    pixels_.attach(image, boolImage);
    componentCount_ = 0;
    if (reconstruction) prepareComponentMap();
    for (Records* list : {&horizontal(), &vertical()}) {
        for (auto& r : *list) {
            r->slope = r->x1 == r->x2 ? std::numeric_limits<double>::max()
                                      : static_cast<double>(r->y2 - r->y1) / (r->x2 - r->x1);
        }
    }
    replaceByPieces(horizontal(), horizontalGroups_);
    replaceByPieces(vertical(), verticalGroups_);
}

void LRLineSig::traceRules(PixelImage* image, BoolImage* boolImage) {
    horizontal().clear();
    vertical().clear();
    setImage(image);
    setBoolImage(boolImage);
    pixels_.attach(image, boolImage);
    // No rule is thin enough to be erased.
    if (maxPieceThickness < 1) return;
    for (const LineRecord& rule : RuleTracker::find(pixels_, {maxPieceThickness, mergeGap}))
        horizontal().push_back(std::make_unique<LineRecord>(rule));
}

void LRLineSig::searchEdges(PixelImage* image, BoolImage* boolImage) {
    clearCreated();
    setImage(image);
    setBoolImage(boolImage);
    const int savedH = minLengthH;
    const int savedV = minLengthV;
    minLengthH = minLengthV = kDetectionMinLength;
    try {
        create();
    } catch (...) {
        minLengthH = savedH;
        minLengthV = savedV;
        throw;
    }
    minLengthH = savedH;
    minLengthV = savedV;
    // create detaches the images; the grouping reads them again.
    setImage(image);
    setBoolImage(boolImage);
}

void LRLineSig::replaceByPieces(Records& list, Groups& groups) {
    Records pieces;
    pieces.reserve(list.size());
    for (const auto& record : list) {
        for (Piece& piece : analyseLine(*record)) {
            pieces.push_back(std::move(piece.record));
            groups.push_back(std::move(piece.group));
        }
    }
    list.swap(pieces);
}

// Allocated at 1.2 times the view and kept while it holds the view without
// being more than twice its size; cleared for every page.
void LRLineSig::prepareComponentMap() {
    const int w = pixels_.width();
    const int h = pixels_.height();
    const bool fits = mapWidth_ >= w && mapHeight_ >= h && mapWidth_ <= 2 * w && mapHeight_ <= 2 * h;
    try {
        if (fits) {
            std::fill(componentMap_.begin(), componentMap_.end(), kNotVisited);
        } else {
            freeComponentMap();
            const int mw = static_cast<int>(1.2 * w);
            const int mh = static_cast<int>(1.2 * h);
            componentMap_.assign(static_cast<std::size_t>(mw) * static_cast<std::size_t>(mh), kNotVisited);
            mapWidth_ = mw;
            mapHeight_ = mh;
        }
        if (fillQueue_.empty()) fillQueue_.resize(kFillQueueLength);
    } catch (const std::bad_alloc&) {
        freeComponentMap();
        throw QNCException("Out of memory", IDS_OUT_OF_MEMORY);
    }
}

std::uint16_t LRLineSig::componentAt(int x, int y) const {
    if (componentMap_.empty() || !pixels_.inside(x, y)) return kNotVisited;
    return componentMap_[static_cast<std::size_t>(y) * static_cast<std::size_t>(mapWidth_) +
                         static_cast<std::size_t>(x)];
}

void LRLineSig::labelCrossing(int x, int y) {
    // Component numbers stop short of kVisitedWhite, which means "white".
    if (componentMap_.empty() || componentCount_ >= kLastComponent || !pixels_.dark(x, y)) return;
    const auto label = static_cast<std::uint16_t>(++componentCount_);
    const std::size_t stride = static_cast<std::size_t>(mapWidth_);
    std::uint16_t* map = componentMap_.data();
    const auto at = [&](int px, int py) -> std::uint16_t& {
        return map[static_cast<std::size_t>(py) * stride + static_cast<std::size_t>(px)];
    };
    int head = 0;
    int tail = 0;
    at(x, y) = label;
    fillQueue_[static_cast<std::size_t>(tail++)] = static_cast<std::uint32_t>(x) << 16 | static_cast<std::uint32_t>(y);
    const int w = pixels_.width();
    const int h = pixels_.height();
    while (head < tail) {
        const std::uint32_t position = fillQueue_[static_cast<std::size_t>(head++)];
        const int px = static_cast<int>(position >> 16);
        const int py = static_cast<int>(position & 0xFFFFu);
        for (int ny = std::max(py - 1, 0); ny <= std::min(py + 1, h - 1); ++ny) {
            for (int nx = std::max(px - 1, 0); nx <= std::min(px + 1, w - 1); ++nx) {
                std::uint16_t& cell = at(nx, ny);
                if (cell != kNotVisited) continue;
                if (!pixels_.darkInside(nx, ny)) {
                    cell = kVisitedWhite;
                    continue;
                }
                // The queue is full: the fill ends here.
                if (tail == kFillQueueLength) return;
                cell = label;
                fillQueue_[static_cast<std::size_t>(tail++)] =
                    static_cast<std::uint32_t>(nx) << 16 | static_cast<std::uint32_t>(ny);
            }
        }
    }
}

std::vector<LRLineSig::Piece> LRLineSig::analyseLine(const LineRecord& line) {
    std::vector<Piece> pieces;
    const int len = line.x2 - line.x1;
    if (len < minLengthH) return pieces;
    if (len < 1) throw QNCException("Bad Line", IDS_UNKNOWN_INTERNAL_ERROR);

    const int h = pixels_.height();
    const bool label = reconstruction && !componentMap_.empty();
    std::vector<ColumnRun> runs(static_cast<std::size_t>(len));
    // Traced rules lie within a row of their record: a dark run found
    // farther off is not theirs, and a character crossing is no break.
    const bool traced = detection == Detection::RunTrace;
    std::vector<bool> onLine(traced ? static_cast<std::size_t>(len) : 0);
    double yline = line.y1 + 2.0;
    for (int j = 0; j < len; ++j, yline += line.slope) {
        const int x = line.x1 + j;
        // Far outside the view (a steep slope) the column reads as white.
        int y = yline > std::numeric_limits<int>::max() / 2 || yline < std::numeric_limits<int>::min() / 2
                    ? -1
                    : static_cast<int>(std::floor(yline));
        ColumnRun& run = runs[static_cast<std::size_t>(j)];
        bool found = pixels_.dark(x, y);
        int offset = 0;
        if (!found) {
            for (int i = 1; i <= kRunSearch && !found; ++i) {
                if (pixels_.dark(x, y - i)) {
                    y -= i;
                    found = true;
                } else if (pixels_.dark(x, y + i)) {
                    y += i;
                    found = true;
                }
                offset = i;
            }
        }
        if (traced) onLine[static_cast<std::size_t>(j)] = found && offset <= kTracedSearch;
        if (!found) {
            run = {y, y};
            continue;
        }
        if (label && componentAt(x, y) == kNotVisited) labelCrossing(x, y);
        // Dark run around y: row 0 is never examined above, but for traced
        // rules, which may lie on it.
        const int highest = traced ? 0 : 1;
        int up = 1;
        while (y - up >= highest && pixels_.darkInside(x, y - up)) ++up;
        int down = 0;
        while (y + down + 1 < h && pixels_.darkInside(x, y + down + 1)) ++down;
        run = {y - up, y + down};
    }

    // Good columns: dark, and not detached from the column before.
    std::vector<int> good;
    good.reserve(static_cast<std::size_t>(len));
    for (int j = 0; j < len; ++j) {
        const ColumnRun& cur = runs[static_cast<std::size_t>(j)];
        if (cur.thickness() <= 0) continue;
        if (traced) {
            if (onLine[static_cast<std::size_t>(j)]) good.push_back(j);
            continue;
        }
        if (j > 0) {
            const ColumnRun& prev = runs[static_cast<std::size_t>(j - 1)];
            const bool detached = (prev.bottom < cur.top - 1 || cur.top + 1 < prev.top) &&
                                  (cur.bottom + 1 < prev.bottom || prev.top < cur.bottom - 1);
            if (detached) continue;
        }
        good.push_back(j);
    }
    if (good.empty()) return pieces;
    const bool broken = static_cast<double>(good.size()) / len < kUnbrokenShare;

    std::vector<int> thickness;
    std::size_t first = 0;
    for (std::size_t i = 0; i < good.size(); ++i) {
        const bool last = i + 1 == good.size() ||
                          static_cast<long long>(good[i + 1]) - good[i] - 1 > static_cast<long long>(mergeGap);
        if (!last) continue;
        const int gs = good[first];
        const int ge = good[i];
        first = i + 1;
        const int L = ge - gs;
        if (L == 0 || (broken && L < minLengthH)) continue;
        thickness.clear();
        for (int j = gs; j < gs + L; ++j) {
            const int k = runs[static_cast<std::size_t>(j)].thickness();
            // A traced rule's thickness is that of its own columns, where no
            // character adds to the run.
            if (!traced || (k > 0 && k <= maxPieceThickness + 1)) thickness.push_back(k);
        }
        if (thickness.empty()) continue;
        const std::size_t middle = traced ? thickness.size() / 2 : static_cast<std::size_t>(L / 2);
        std::nth_element(thickness.begin(), thickness.begin() + static_cast<std::ptrdiff_t>(middle), thickness.end());
        const int median = thickness[middle];
        if (median > maxPieceThickness) continue;

        auto record = std::make_unique<LineRecord>();
        record->orientation = 0;
        record->x1 = line.x1 + gs;
        record->x2 = line.x1 + ge;
        record->y1 = line.y1 + static_cast<int>(gs * line.slope);
        record->y2 = line.y1 + static_cast<int>(ge * line.slope);
        record->slope = static_cast<double>(record->y2 - record->y1) / (record->x2 - record->x1);
        record->length = std::hypot(record->x2 - record->x1, record->y1 - record->y2);
        record->angle = std::atan(static_cast<double>(record->y1 - record->y2) / (record->x2 - record->x1));
        record->label = static_cast<std::int16_t>(std::min(median, static_cast<int>(INT16_MAX)));

        auto group = std::make_unique<LineGroup>();
        group->line = record.get();
        group->profile.assign(runs.begin() + gs, runs.begin() + gs + L);
        pieces.push_back({std::move(record), std::move(group)});
    }
    return pieces;
}
