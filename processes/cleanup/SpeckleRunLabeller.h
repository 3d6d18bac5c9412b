// SpeckleRunLabeller: the fast road of the black-and-white despeckle. It finds
// the 4-connected groups of black pixels of a packed 1-bit page from the black
// runs of its rows (a union-find over runs that overlap between neighbouring
// rows) and erases the small groups by filling their runs with white. White
// stretches are skipped 64 pixels at a time. Cost: one pass over the packed
// rows plus O(runs); its tables grow to the largest page seen and are reused.
// Gives exactly the pixels of the label-map engine of SpeckleRemover whenever
// the page has fewer groups than one labelling batch holds.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

class CZRProgressTracker;
class PixelImage;

// The decision both engines make for one group, from its size (the longer
// side of its bounding box).
struct SpeckleRule {
    // A small group within this many pixels straight above, below, left or
    // right of a large group may be part of a character.
    static constexpr int kNearDistance = 6;
    // Small groups no larger than this go even beside a character.
    static constexpr std::uint16_t kAlwaysErased = 2;

    std::uint16_t sizeLimit = 5;
    bool preserve = false;
    // The two measures of character preservation, in pixels of the page.
    std::uint16_t alwaysErased = kAlwaysErased;
    int nearDistance = kNearDistance;

    bool isLarge(unsigned size) const { return size > sizeLimit; }
    // True when a small group goes without looking at its neighbourhood;
    // false when it goes only if no large group is near.
    bool erasesWithoutLooking(unsigned size) const {
        return !preserve || size <= std::min<unsigned>(sizeLimit, alwaysErased);
    }
};

class SpeckleRunLabeller {
public:
    // Labels the black groups of `image` (1 bit, plain view). Returns false
    // when the page holds maxGroups groups or more; nothing is changed either way.
    bool label(const PixelImage& image, std::uint32_t maxGroups);
    std::uint32_t groupCount() const { return groupCount_; }
    // Erases every group the rule condemns. With a progress owner it reports
    // 80, then 80 + 20 i / count for every tenth group i.
    void erase(PixelImage& image, const SpeckleRule& rule, CZRProgressTracker* progress);

private:
    struct Run {
        std::uint16_t x0;  // first black column
        std::uint16_t x1;  // last black column
    };
    struct Box {
        std::uint16_t x0, x1, y0, y1;
    };
    enum Verdict : std::uint8_t { kKeep, kErase, kEraseUnlessNear };

    void appendRuns(const std::uint8_t* row);
    void linkRows(std::uint32_t above, std::uint32_t begin, std::uint32_t end);
    std::uint32_t find(std::uint32_t run);
    void unite(std::uint32_t a, std::uint32_t b);
    void buildLargeMask();
    bool nearLarge(const Box& box, int reach) const;
    bool anyLarge(int y, int x0, int x1) const;

    int width_ = 0;
    int height_ = 0;
    std::uint32_t groupCount_ = 0;
    std::vector<Run> runs_;                 // every black run, row after row
    std::vector<std::uint32_t> rowStart_;   // first run of each row; one extra entry
    std::vector<std::uint32_t> parent_;     // union-find forest over runs (roots are the smallest index)
    std::vector<std::uint32_t> group_;      // group of each run
    std::vector<Box> boxes_;                // bounding box of each group
    std::vector<std::uint8_t> verdict_;     // Verdict of each group
    std::vector<std::uint64_t> largeMask_;  // pixels of large groups, bit x % 64 of word x / 64 per row
    int maskWords_ = 0;                     // words per row of largeMask_
};
