// The line signature as line removal runs it: the same detection, rerun on
// every page of one object, in the single view the caller has set up (the
// images' own quarter turn chooses vertical lines), with a shorter least
// length during detection. Every found line is then measured column by column
// and cut into pieces of uniform thickness (LineGroup); with reconstruction on,
// the dark components that touch a line are labelled in componentMap. Cost:
// that of LineSig::create, plus a few pixel reads per line column, plus one
// flood fill (at most 65535 positions) per component touching a line.
#pragma once

#include "processes/lines/LineGroup.h"
#include "processes/lines/LineSig.h"
#include "processes/lines/ViewPixels.h"

#include <cstdint>
#include <memory>
#include <vector>

class LRLineSig : public LineSig {
public:
    using Groups = std::vector<std::unique_ptr<LineGroup>>;

    // componentMap values: 0 not visited, kVisitedWhite visited and white,
    // 1 .. kLastComponent a component number.
    static constexpr std::uint16_t kNotVisited = 0;
    static constexpr std::uint16_t kVisitedWhite = 0xFFFF;
    static constexpr std::uint16_t kLastComponent = 0xFFFE;
    // A flood fill queues at most this many positions.
    static constexpr int kFillQueueLength = 65535;
    // Least length of the segments during detection.
    static constexpr int kDetectionMinLength = 30;
    // A line whose good columns are fewer than this share is broken.
    static constexpr double kUnbrokenShare = 0.96;
    // How far above and below a line's row a column looks for its dark run.
    static constexpr int kRunSearch = 5;
    // For traced rules, a column's run belongs to the rule when found at most
    // this far from its row.
    static constexpr int kTracedSearch = 2;

    LRLineSig();

    // How lines are found: the line signature's sparse search for a clean
    // upper edge, or RuleTracker's trace of every row's long dark runs, which
    // also finds rules that characters or other marks touch from above.
    enum class Detection { EdgeSearch, RunTrace };
    Detection detection = Detection::EdgeSearch;

    // The largest piece thickness kept (pixels).
    int maxPieceThickness = 50;
    // Whether strokes crossing an erased line are rebuilt afterwards; turns
    // the labelling of crossing components on.
    bool reconstruction = false;

    // True when neither group list holds a piece.
    bool isEmpty() const override;

    // Runs the detection again on `image` (and `boolImage`, which then serves
    // the pixel tests). With Detection::RunTrace the horizontal list receives
    // RuleTracker's rules (no thicker than maxPieceThickness, breaks up to
    // mergeGap crossed) and the rest is as follows. Otherwise it clears the
    // groups and the created flag, detects with a
    // least length of 30 pixels in both orientations (the caller's values are
    // restored afterwards), re-attaches both images, prepares componentMap
    // when reconstruction is on, gives every record its slope ((y2 - y1) /
    // (x2 - x1), or the largest double when x1 = x2) and replaces every record
    // by its pieces (analyseLine). Throws QNCException "Out of memory" (2159)
    // when componentMap cannot be allocated.
    void detect(PixelImage* image, BoolImage* boolImage);

    // One piece of a line: its new record and its group (whose line points at
    // the record).
    struct Piece {
        std::unique_ptr<LineRecord> record;
        std::unique_ptr<LineGroup> group;
    };
    // Measures a line of the current view column by column and cuts it into
    // pieces no thicker than maxPieceThickness; labels the components it
    // meets when reconstruction is on. Needs attached images. Throws
    // QNCException "Bad Line" (2160) for a line of no extent.
    std::vector<Piece> analyseLine(const LineRecord& line);

    // Labels the dark component holding (x, y) with the next component number
    // (8-neighbour flood fill of at most kFillQueueLength positions; white
    // neighbours met are marked kVisitedWhite). Does nothing once all
    // component numbers are used, or without componentMap.
    void labelCrossing(int x, int y);
    // The componentMap value at (x, y) of the view; kNotVisited outside it or
    // without a map.
    std::uint16_t componentAt(int x, int y) const;
    int componentCount() const { return componentCount_; }
    // Frees componentMap.
    void freeComponentMap();
    // Size of the allocated componentMap (0 x 0 when none).
    int mapWidth() const { return mapWidth_; }
    int mapHeight() const { return mapHeight_; }

    Groups& horizontalGroups() { return horizontalGroups_; }
    Groups& verticalGroups() { return verticalGroups_; }
    const Groups& horizontalGroups() const { return horizontalGroups_; }
    const Groups& verticalGroups() const { return verticalGroups_; }
    // Drops all groups (their records stay in the lists until the next detection).
    void clearGroups();

    // The pixel test of the attached images in the current view.
    const ViewPixels& pixels() const { return pixels_; }

private:
    void searchEdges(PixelImage* image, BoolImage* boolImage);
    void traceRules(PixelImage* image, BoolImage* boolImage);
    void prepareComponentMap();
    void replaceByPieces(Records& list, Groups& groups);

    Groups horizontalGroups_;
    Groups verticalGroups_;
    ViewPixels pixels_;
    std::vector<std::uint16_t> componentMap_;
    int mapWidth_ = 0;
    int mapHeight_ = 0;
    int componentCount_ = 0;
    // The flood fill's queue, kept between fills.
    std::vector<std::uint32_t> fillQueue_;
};
