// Deshade: transition maps, cell classification, map clean-up, the shade
// filter and the write-back, all on packed rows (set bit = white, most
// significant bit first).
#include "processes/tone/DeshadeEngine.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {
constexpr std::uint8_t kWhite = 0xFF;
}  // namespace

DeshadeEngine::DeshadeEngine() { buildColumnTables(columnCapacity_); }

void DeshadeEngine::buildColumnTables(int capacity) {
    columnCapacity_ = capacity;
    columnByte_.resize(static_cast<std::size_t>(capacity));
    columnMask_.resize(static_cast<std::size_t>(capacity));
    for (int x = 0; x < capacity; ++x) {
        columnByte_[static_cast<std::size_t>(x)] = x / 8;
        columnMask_[static_cast<std::size_t>(x)] = 0x80 >> (x % 8);
    }
}

int DeshadeEngine::load(BITMAPINFOHEADER* header) {
    // A top-down or empty bitmap has no bottom-up rows to address.
    if (!header || header->biSize != 40 || header->biWidth <= 0 || header->biHeight <= 0) return -1;
    if (header->biBitCount != 1) return -2;
    header_ = header;
    width_ = header->biWidth;
    height_ = header->biHeight;
    stride_ = static_cast<int>(dib::Stride(width_, 1));
    // The colour table as the header declares it (two entries unless biClrUsed says otherwise).
    bits_ = dib::Bits(header);
    rows_.resize(static_cast<std::size_t>(height_));
    for (int y = 0; y < height_; ++y)
        rows_[static_cast<std::size_t>(y)] = bits_ + static_cast<std::size_t>(stride_) * (height_ - 1 - y);
    if (width_ > columnCapacity_) buildColumnTables(2 * width_);
    return 0;
}

void DeshadeEngine::buildTransitionMaps() {
    const std::size_t size = static_cast<std::size_t>(stride_) * height_;
    // Entries no rule writes (the last row, the vertical map's last byte of
    // each row) read as "no transition".
    horizontalMap_.assign(size, 0);
    verticalMap_.assign(size, 0);
    for (int y = 0; y < height_; ++y) {
        const std::uint8_t* row = pageRow(y);
        std::uint8_t* h = &horizontalMap_[static_cast<std::size_t>(y) * stride_];
        if (y < height_ - 1) {
            const std::uint8_t* below = pageRow(y + 1);
            std::uint8_t* v = &verticalMap_[static_cast<std::size_t>(y) * stride_];
            for (int i = 0; i < stride_ - 1; ++i) {
                const unsigned b = row[i];
                h[i] = static_cast<std::uint8_t>(b ^ ((b << 1) | (row[i + 1] >> 7)));
                v[i] = static_cast<std::uint8_t>(b ^ below[i]);
            }
        }
        const unsigned last = row[stride_ - 1];
        h[stride_ - 1] = static_cast<std::uint8_t>(last ^ (last << 1));
    }
}

int DeshadeEngine::countTransitions(int x0, int x1, int y0, int y1) const {
    const int first = columnByte_[static_cast<std::size_t>(x0)];
    const int last = columnByte_[static_cast<std::size_t>(x1)];
    const unsigned startMask = kStartMasks[static_cast<std::size_t>(x0 & 7)];
    const unsigned endMask = kEndMasks[static_cast<std::size_t>((x1 - 1) & 7)];
    auto countRow = [&](const std::uint8_t* row) {
        int n = std::popcount(static_cast<unsigned>(row[first] & startMask));
        for (int i = first + 1; i < last; ++i) n += std::popcount(static_cast<unsigned>(row[i]));
        if (last != first) n += std::popcount(static_cast<unsigned>(row[last] & endMask));
        return n;
    };
    int count = 0;
    for (int y = y0; y <= y1; ++y) {
        count += countRow(&horizontalMap_[static_cast<std::size_t>(y) * stride_]);
        if (y < y1) count += countRow(&verticalMap_[static_cast<std::size_t>(y) * stride_]);
    }
    return count;
}

void DeshadeEngine::cleanMap(std::vector<std::uint8_t>& cells, int columns, int rows, std::uint8_t from,
                             std::uint8_t to, int minimum) {
    const std::uint8_t mark = static_cast<std::uint8_t>(from - 1);
    std::vector<int> stack;
    std::vector<int> group;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const int start = r * columns + c;
            if (cells[static_cast<std::size_t>(start)] != from) continue;
            group.clear();
            stack.assign(1, start);
            cells[static_cast<std::size_t>(start)] = mark;
            while (!stack.empty()) {
                const int cell = stack.back();
                stack.pop_back();
                group.push_back(cell);
                const int cr = cell / columns;
                const int cc = cell % columns;
                // Left, above, right, below.
                const int neighbours[4][2] = {{cc - 1, cr}, {cc, cr - 1}, {cc + 1, cr}, {cc, cr + 1}};
                for (const auto& n : neighbours) {
                    if (n[0] < 0 || n[0] >= columns || n[1] < 0 || n[1] >= rows) continue;
                    const int index = n[1] * columns + n[0];
                    if (cells[static_cast<std::size_t>(index)] != from) continue;
                    cells[static_cast<std::size_t>(index)] = mark;
                    stack.push_back(index);
                }
            }
            if (static_cast<int>(group.size()) < minimum)
                for (int cell : group) cells[static_cast<std::size_t>(cell)] = to;
        }
    }
}

bool DeshadeEngine::classify() {
    if (!header_) return false;
    if (width_ < kMinSide || height_ < kMinSide) return false;
    cellHeight_ = height_ / 100;
    cellWidth_ = width_ / 100;
    cellRows_ = height_ / cellHeight_;
    cellColumns_ = width_ / cellWidth_;
    buildTransitionMaps();
    cellMap_.assign(static_cast<std::size_t>(cellColumns_) * cellRows_, kPlain);
    const int limit = static_cast<int>(cellHeight_ * 0.25 * cellWidth_);
    for (int c = 0; c < cellColumns_; ++c) {
        for (int r = 0; r < cellRows_; ++r) {
            const int x0 = c * cellWidth_;
            const int y0 = r * cellHeight_;
            const int count = countTransitions(x0, x0 + cellWidth_ - 1, y0, y0 + cellHeight_ - 1);
            cellMap_[static_cast<std::size_t>(r) * cellColumns_ + c] = count > limit ? kShaded : kPlain;
        }
    }
    cleanMap(cellMap_, cellColumns_, cellRows_, kShaded, kPlain, 25);
    cleanMap(cellMap_, cellColumns_, cellRows_, kPlain, kShaded, 25);
    return true;
}

void DeshadeEngine::copyCell(int x0, int x1, int y0, int y1, std::vector<std::uint8_t>& map) const {
    const int first = columnByte_[static_cast<std::size_t>(x0)];
    const int last = columnByte_[static_cast<std::size_t>(x1)];
    const std::uint8_t startMask = kStartMasks[static_cast<std::size_t>(x0 & 7)];
    const std::uint8_t endMask = kEndMasks[static_cast<std::size_t>(x1 & 7)];
    auto put = [](std::uint8_t& to, std::uint8_t from, std::uint8_t mask) {
        to = static_cast<std::uint8_t>((to & ~mask) | (from & mask));
    };
    for (int y = y0; y <= y1; ++y) {
        const std::uint8_t* page = pageRow(y);
        std::uint8_t* row = &map[static_cast<std::size_t>(y) * stride_];
        put(row[first], page[first], startMask);
        if (last > first + 1)
            std::memcpy(row + first + 1, page + first + 1, static_cast<std::size_t>(last - first - 1));
        if (last != first) put(row[last], page[last], endMask);
    }
}

void DeshadeEngine::shadeFilter(std::uint8_t* image, std::uint8_t* scratch, int stride, int width, int height) {
    const int bytes = (width - 1) / 8 + 1;
    auto at = [stride](std::uint8_t* base, int y) { return base + static_cast<std::size_t>(y) * stride; };
    const std::size_t size = static_cast<std::size_t>(stride) * height;

    // 1. Thin the black: white when the pixel or a direct neighbour is white.
    std::memcpy(scratch, image, size);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* s = at(scratch, y);
        const std::uint8_t* up = y > 0 ? at(scratch, y - 1) : nullptr;
        const std::uint8_t* down = y + 1 < height ? at(scratch, y + 1) : nullptr;
        std::uint8_t* out = at(image, y);
        for (int i = 0; i < bytes; ++i) {
            const unsigned c = s[i];
            const unsigned prev = i > 0 ? s[i - 1] : kWhite;
            const unsigned next = i + 1 < bytes ? s[i + 1] : kWhite;
            const unsigned left = (c >> 1) | (prev << 7);
            const unsigned right = (c << 1) | (next >> 7);
            out[i] = static_cast<std::uint8_t>(c | left | right | (up ? up[i] : kWhite) | (down ? down[i] : kWhite));
        }
    }
    // 2. Horizontal gaps, in place: white between two white neighbours; the
    // left neighbour across a byte boundary is already rewritten.
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = at(image, y);
        unsigned prevNew = kWhite;
        for (int i = 0; i < bytes; ++i) {
            const unsigned c = row[i];
            const unsigned next = i + 1 < bytes ? row[i + 1] : kWhite;
            const unsigned left = (c >> 1) | ((prevNew & 1u) << 7);
            const unsigned right = (c << 1) | (next >> 7);
            prevNew = (c | (left & right)) & 0xFFu;
            row[i] = static_cast<std::uint8_t>(prevNew);
        }
    }
    // 3. Vertical gaps, in place: white between white above (rewritten) and below.
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = at(image, y);
        const std::uint8_t* up = y > 0 ? at(image, y - 1) : nullptr;
        const std::uint8_t* down = y + 1 < height ? at(image, y + 1) : nullptr;
        for (int i = 0; i < bytes; ++i)
            row[i] = static_cast<std::uint8_t>(row[i] | ((up ? up[i] : kWhite) & (down ? down[i] : kWhite)));
    }
    // 4. The component pass over white components below 15 pixels or 5 x 5
    // would only rewrite white pixels as white: it changes nothing and is not
    // run. (Read for black components it would erase every thinned stroke
    // under 5 pixels wide, such as the stem of an l; read as filling small
    // white components it would close the counters of small letters.)

    // 5. Thicken the black: white only when the pixel and its direct neighbours are white.
    std::memcpy(scratch, image, size);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* s = at(scratch, y);
        const std::uint8_t* up = y > 0 ? at(scratch, y - 1) : nullptr;
        const std::uint8_t* down = y + 1 < height ? at(scratch, y + 1) : nullptr;
        std::uint8_t* out = at(image, y);
        for (int i = 0; i < bytes; ++i) {
            const unsigned c = s[i];
            const unsigned prev = i > 0 ? s[i - 1] : kWhite;
            const unsigned next = i + 1 < bytes ? s[i + 1] : kWhite;
            const unsigned left = (c >> 1) | (prev << 7);
            const unsigned right = (c << 1) | (next >> 7);
            out[i] = static_cast<std::uint8_t>(c & left & right & (up ? up[i] : kWhite) & (down ? down[i] : kWhite));
        }
    }
}

bool DeshadeEngine::run() {
    if (!classify()) return false;
    const std::size_t size = static_cast<std::size_t>(stride_) * height_;
    // Reuse the transition maps as the shaded and the plain image.
    std::fill(horizontalMap_.begin(), horizontalMap_.end(), kWhite);
    std::fill(verticalMap_.begin(), verticalMap_.end(), kWhite);
    work_.resize(size);
    for (int r = 0; r < cellRows_; ++r) {
        for (int c = 0; c < cellColumns_; ++c) {
            const int x0 = c * cellWidth_;
            const int y0 = r * cellHeight_;
            const bool shaded = cellMap_[static_cast<std::size_t>(r) * cellColumns_ + c] >= kShadedFrom;
            copyCell(x0, x0 + cellWidth_ - 1, y0, y0 + cellHeight_ - 1, shaded ? horizontalMap_ : verticalMap_);
        }
    }
    // Pixels past the page width count as white in the filter, whatever the
    // page's padding bits held.
    if (width_ % 8 != 0) {
        const std::uint8_t pad = static_cast<std::uint8_t>(0xFFu >> (width_ % 8));
        for (int y = 0; y < height_; ++y)
            horizontalMap_[static_cast<std::size_t>(y) * stride_ + (width_ - 1) / 8] |= pad;
    }
    shadeFilter(horizontalMap_.data(), work_.data(), stride_, width_, height_);
    // Plain cells come back as they were, shaded cells cleaned, pixels of no
    // cell white. The maps hold row 0 first; the page stores it last.
    for (int y = 0; y < height_; ++y) {
        std::uint8_t* page = pageRow(y);
        const std::size_t offset = static_cast<std::size_t>(y) * stride_;
        for (int i = 0; i < stride_; ++i) page[i] = horizontalMap_[offset + i] & verticalMap_[offset + i];
    }
    std::vector<std::uint8_t>().swap(horizontalMap_);
    std::vector<std::uint8_t>().swap(verticalMap_);
    std::vector<std::uint8_t>().swap(work_);
    return true;
}
