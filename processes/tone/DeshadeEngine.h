// Shade removal on a black-and-white page, in place: the page is cut into a
// grid of about 100 x 100 cells; cells whose pixels change colour at more than
// a quarter of their pixels count as shaded (screened or dithered grey), small
// groups of either kind are merged into their surroundings, and the shaded
// cells are thinned, gap-filled and thickened again so that dots vanish and
// strokes of 4 pixels or more survive. Plain cells come back unchanged. Works
// on whole bytes (eight pixels per operation): a few passes over the page,
// each O(stride x height), plus a flood fill over the cell map.
#pragma once

#include "platform/imagelib/ImageWrapper.h"

#include <array>
#include <cstdint>
#include <vector>

class CZRProgressTracker;

class DeshadeEngine {
public:
    // Cell map values; a cell is shaded from kShadedFrom on.
    static constexpr std::uint8_t kPlain = 100;
    static constexpr std::uint8_t kShaded = 200;
    static constexpr std::uint8_t kShadedFrom = 151;
    // Pages narrower or lower than this have no cell grid.
    static constexpr int kMinSide = 100;

    DeshadeEngine();

    // Takes the page: 0, or -1 for a null header or one whose biSize is not
    // 40 (or whose size is not a bottom-up page), -2 when it is not 1-bit.
    int load(BITMAPINFOHEADER* header);
    void setOwner(CZRProgressTracker* owner) { owner_ = owner; }
    // Cleans the loaded page. A page under kMinSide pixels in either
    // direction has no cell grid and is left as it is (returns false).
    bool run();

    // --- the steps, for tests and benchmarks (valid after load) ---
    int cellColumns() const { return cellColumns_; }
    int cellRows() const { return cellRows_; }
    int cellWidth() const { return cellWidth_; }
    int cellHeight() const { return cellHeight_; }
    // Cell map after classification and clean-up, row by row.
    const std::vector<std::uint8_t>& cellMap() const { return cellMap_; }
    // Lays the grid and classifies the cells (run's steps 1 to 3).
    bool classify();
    // Floods 4-connected groups of `from`; groups under `minimum` cells
    // become `to`, the others keep the mark from - 1.
    static void cleanMap(std::vector<std::uint8_t>& cells, int columns, int rows, std::uint8_t from, std::uint8_t to,
                         int minimum);
    // The five-step filter on a 1-bit image of `stride` bytes per row (row 0
    // first), pixels outside the image white; bits past `width` must be set.
    static void shadeFilter(std::uint8_t* image, std::uint8_t* scratch, int stride, int width, int height);

private:
    void buildColumnTables(int capacity);
    std::uint8_t* pageRow(int y) const { return rows_[static_cast<std::size_t>(y)]; }
    void buildTransitionMaps();
    int countTransitions(int x0, int x1, int y0, int y1) const;
    void copyCell(int x0, int x1, int y0, int y1, std::vector<std::uint8_t>& map) const;

    BITMAPINFOHEADER* header_ = nullptr;
    int cellColumns_ = 200;
    int cellRows_ = 200;
    int cellHeight_ = 0;
    int cellWidth_ = 0;
    std::vector<std::uint8_t> horizontalMap_;
    std::vector<std::uint8_t> verticalMap_;
    std::vector<std::uint8_t> cellMap_;
    int columnCapacity_ = 3000;
    std::vector<std::int32_t> columnByte_;
    std::vector<std::int32_t> columnMask_;
    std::uint8_t* bits_ = nullptr;
    std::vector<std::uint8_t*> rows_;
    int stride_ = 0;
    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint8_t> work_;
    CZRProgressTracker* owner_ = nullptr;

    static constexpr std::array<std::uint8_t, 8> kStartMasks{0xFF, 0x7F, 0x3F, 0x1F, 0x0F, 0x07, 0x03, 0x01};
    static constexpr std::array<std::uint8_t, 8> kEndMasks{0x80, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC, 0xFE, 0xFF};
};
