// Thresholds and the edge filter. Two roads to the same pixels: the
// accessor road (the images' accessor tables and one cursor shared by source
// and destination, any pair of depths and views) and the direct road
// (compile-time depths, row pointers), which takes the pages the process
// meets and runs three to six times faster. Tests hold the two equal.
#include "processes/tone/ThresholdEngine.h"

#include "framework/CZRException.h"
#include "resources/MessageIds.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <type_traits>

namespace {

constexpr int kMinZoneSide = 60;
constexpr int kGrid = 12;

// Shares one cursor between two images for the length of an algorithm and
// takes it away again on every exit.
class SharedCursor {
public:
    SharedCursor(const PixelImage& a, PixelImage* b) : a_(const_cast<PixelImage&>(a)), b_(b) {
        a_.setCursor(&cursor);
        if (b_) b_->setCursor(&cursor);
    }
    ~SharedCursor() {
        a_.setCursor(nullptr);
        if (b_) b_->setCursor(nullptr);
    }
    SharedCursor(const SharedCursor&) = delete;
    SharedCursor& operator=(const SharedCursor&) = delete;

    PixelCursor cursor;

private:
    PixelImage& a_;
    PixelImage* b_;
};

inline void setWhite(PixelCursor& c, bool white) {
    const std::uint8_t value = white ? 255 : 0;
    c.red = c.green = c.blue = value;
}

inline int channelSum(const PixelCursor& c) { return c.red + c.green + c.blue; }

// Source and destination share coordinates: a destination of another size
// would be written out of its bounds.
void checkSameSize(const PixelImage& source, const PixelImage& destination) {
    if (source.viewWidth() != destination.viewWidth() || source.viewHeight() != destination.viewHeight())
        throw CZRException(static_cast<UINT>(IDS_INVALID_DIMENSIONS));
}

// The direct road: the same decisions read and written straight from the row
// table, for plain views of 8- and 24-bit sources and 1-, 8- and 24-bit
// destinations (every page the process meets). Other cases take the
// accessor road. Each function answers whether it did the work.
struct DirectRoad {
    template <int Bits>
    static int sum(const std::uint8_t* row, int x) {
        if constexpr (Bits == 8) {
            return 3 * row[x];
        } else {
            const std::uint8_t* p = row + 3 * static_cast<std::ptrdiff_t>(x);
            return p[0] + p[1] + p[2];
        }
    }
    // The grey level (8 bits) or channel sum (24 bits) the accessors compare.
    template <int Bits>
    static int level(const std::uint8_t* row, int x) {
        if constexpr (Bits == 8)
            return row[x];
        else
            return sum<24>(row, x);
    }
    // A grey written as the cursor writes it: 1 bit is white when nonzero.
    template <int Bits>
    static void put(std::uint8_t* row, int x, std::uint8_t grey) {
        if constexpr (Bits == 1) {
            const auto mask = static_cast<std::uint8_t>(0x80u >> (x & 7));
            if (grey != 0)
                row[x >> 3] |= mask;
            else
                row[x >> 3] &= static_cast<std::uint8_t>(~mask);
        } else if constexpr (Bits == 8) {
            row[x] = grey;
        } else {
            std::uint8_t* p = row + 3 * static_cast<std::ptrdiff_t>(x);
            p[0] = p[1] = p[2] = grey;
        }
    }

    // Calls work(source bits, destination bits) as compile-time constants.
    template <class Work>
    static bool dispatch(const PixelImage& source, const PixelImage& destination, Work&& work) {
        if (source.rotatedView() || destination.rotatedView()) return false;
        auto withDestination = [&](auto sourceBits) {
            switch (destination.bitCount()) {
                case 1:
                    work(sourceBits, std::integral_constant<int, 1>{});
                    return true;
                case 8:
                    work(sourceBits, std::integral_constant<int, 8>{});
                    return true;
                case 24:
                    work(sourceBits, std::integral_constant<int, 24>{});
                    return true;
                default:
                    return false;
            }
        };
        switch (source.bitCount()) {
            case 8:
                return withDestination(std::integral_constant<int, 8>{});
            case 24:
                return withDestination(std::integral_constant<int, 24>{});
            default:
                return false;
        }
    }

    static bool global(const PixelImage& source, PixelImage& destination, const ToneRect& rect) {
        return dispatch(source, destination, [&](auto s, auto d) {
            constexpr int S = decltype(s)::value;
            constexpr int D = decltype(d)::value;
            const int threshold = source.whiteThreshold();
            for (int y = rect.top; y < rect.bottom - 1; ++y) {
                const std::uint8_t* in = source.row(y);
                std::uint8_t* out = destination.row(y);
                for (int x = rect.left; x < rect.right - 1; ++x) put<D>(out, x, level<S>(in, x) >= threshold ? 255 : 0);
            }
        });
    }

    static bool local(const PixelImage& source, PixelImage& destination, const ToneRect& rect, double limit, int b,
                      int shift) {
        return dispatch(source, destination, [&](auto s, auto d) {
            constexpr int S = decltype(s)::value;
            constexpr int D = decltype(d)::value;
            const int threshold = source.whiteThreshold();
            const int h = b / 2;
            const long long width = source.width();
            const long long height = source.height();
            auto globalBox = [&](int x, int y, int columns, int rows) {
                for (int j = 0; j < rows; ++j) {
                    const std::uint8_t* in = source.row(y + j);
                    std::uint8_t* out = destination.row(y + j);
                    for (int i = 0; i < columns; ++i) put<D>(out, x + i, level<S>(in, x + i) >= threshold ? 255 : 0);
                }
            };
            for (long long y = rect.top; y < rect.bottom - 1; y += b) {
                for (long long x = rect.left; x < rect.right - 1; x += b) {
                    const int bx = static_cast<int>(x);
                    const int by = static_cast<int>(y);
                    if (x - h < 0 || y - h < 0 || x + h + b >= width || y + h + b >= height) {
                        globalBox(bx, by, static_cast<int>(std::min<long long>(b, width - x)),
                                  static_cast<int>(std::min<long long>(b, height - y)));
                        continue;
                    }
                    int maxSum = -1;
                    int minSum = 766;
                    for (int wy = by - h; wy <= by + b + h; ++wy) {
                        const std::uint8_t* in = source.row(wy);
                        for (int wx = bx - h; wx <= bx + b + h; ++wx) {
                            const int v = sum<S>(in, wx);
                            maxSum = std::max(maxSum, v);
                            minSum = std::min(minSum, v);
                        }
                    }
                    const double ratio = static_cast<double>(maxSum - minSum) / static_cast<double>(maxSum + minSum);
                    if (ratio > limit) {
                        const long long t = minSum + (maxSum - minSum) / 2 + static_cast<long long>(shift);
                        for (int j = 0; j < b; ++j) {
                            const std::uint8_t* in = source.row(by + j);
                            std::uint8_t* out = destination.row(by + j);
                            for (int i = 0; i < b; ++i) put<D>(out, bx + i, sum<S>(in, bx + i) > t ? 255 : 0);
                        }
                    } else {
                        globalBox(bx, by, b, b);
                    }
                }
            }
        });
    }

    static bool edges(const PixelImage& source, PixelImage& destination, const ToneRect& rect) {
        return dispatch(source, destination, [&](auto s, auto d) {
            constexpr int S = decltype(s)::value;
            constexpr int D = decltype(d)::value;
            constexpr int divisor = S == 8 ? 2 : 6;
            const int width = source.width();
            const int height = source.height();
            const int xEnd = rect.right < width - 1 ? rect.right - 1 : width - 2;
            const int yEnd = rect.bottom < height - 1 ? rect.bottom - 1 : height - 2;
            for (int y = std::max(rect.top, 1); y < yEnd; ++y) {
                const std::uint8_t* above = source.row(y - 1);
                const std::uint8_t* row = source.row(y);
                const std::uint8_t* below = source.row(y + 1);
                std::uint8_t* out = destination.row(y);
                for (int x = std::max(rect.left, 1); x < xEnd; ++x) {
                    const int k = level<S>(above, x - 1) - level<S>(above, x) + level<S>(above, x + 1) -
                                  level<S>(row, x - 1) - level<S>(row, x + 1) + level<S>(below, x - 1) -
                                  level<S>(below, x) + level<S>(below, x + 1);
                    put<D>(out, x, static_cast<std::uint8_t>(std::clamp(255 + k / divisor, 0, 255)));
                }
            }
        });
    }
};

}  // namespace

int ThresholdEngine::boxSizeFor(int box) {
    if (box <= 0) return 16;
    // Raised to the next even size; the largest odd value stays in range.
    return box % 2 != 0 ? (box == 0x7FFFFFFF ? box - 1 : box + 1) : box;
}

void ThresholdEngine::checkRect(const PixelImage& source, const ToneRect& rect) {
    // Negative corners would read before the first row or column: they are
    // outside the image as much as corners past its end.
    if (rect.right <= rect.left || rect.bottom <= rect.top || rect.left < 0 || rect.top < 0 ||
        rect.bottom > source.viewHeight() || rect.right > source.viewWidth())
        throw CZRException(static_cast<UINT>(IDS_ZONE_OUTSIDE));
    if (rect.width() <= kMinZoneSide || rect.height() <= kMinZoneSide)
        throw CZRException(static_cast<UINT>(IDS_ZONE_TOO_SMALL));
}

void ThresholdEngine::sampleZoneHistogram(const PixelImage& source, const ToneRect& rect,
                                          PixelImage::Histogram& counts) {
    counts.fill(0);
    SharedCursor shared(source, nullptr);
    PixelCursor& c = shared.cursor;
    const bool grey = source.bitCount() <= 8;
    unsigned k = 0;
    for (int y = rect.top; y < rect.bottom - kGrid; y += kGrid) {
        ++k;
        for (int x = rect.left; x < rect.right - kGrid; x += kGrid) {
            const int j = static_cast<int>(k % 13);
            c.x = static_cast<std::uint16_t>(x + j);
            c.y = static_cast<std::uint16_t>(y + j);
            source.getPixelAt();
            ++k;
            ++counts[grey ? c.red : static_cast<unsigned>(channelSum(c)) / 3u];
        }
    }
}

int ThresholdEngine::zoneThresholdFromHistogram(const PixelImage::Histogram& counts, int shift) {
    int p = 0;
    for (int v = 1; v < 256; ++v)
        if (counts[v] > counts[p]) p = v;
    // Second peak: the local maximum at least 10 levels from p with the
    // largest count^2 * distance^2. That square wraps 32 bits as soon as a
    // peak holds a few thousand samples (every full page), which would pick
    // an arbitrary peak; count * distance in 64 bits orders the peaks the
    // same way as the exact square.
    int q = -1;
    std::uint64_t best = 0;
    for (int v = 1; v <= 254; ++v) {
        const int distance = std::abs(v - p);
        if (distance < 10) continue;
        if (!(counts[v - 1] < counts[v] && counts[v + 1] <= counts[v])) continue;
        const std::uint64_t score = std::uint64_t{counts[v]} * static_cast<std::uint64_t>(distance);
        if (score > best) {
            best = score;
            q = v;
        }
    }
    if (q < 0) q = p > 128 ? p - 10 : p + 10;
    // Shift is a property taken as it comes: 64 bits keep the sum exact.
    long long t = (p + q) / 2 + static_cast<long long>(shift);
    if (t < 1) t = 1;
    return static_cast<int>(std::min<long long>(t, 254));
}

void ThresholdEngine::computeZoneThreshold(PixelImage& source, const ToneRect& rect, int shift) {
    if (rect.right <= rect.left || rect.bottom <= rect.top) throw CZRException(static_cast<UINT>(IDS_ZONE_OUTSIDE));
    if (rect.width() <= kMinZoneSide || rect.height() <= kMinZoneSide)
        throw CZRException(static_cast<UINT>(IDS_ZONE_TOO_SMALL));
    PixelImage::Histogram counts;
    sampleZoneHistogram(source, rect, counts);
    const int t = zoneThresholdFromHistogram(counts, shift);
    source.setWhiteThreshold(source.bitCount() <= 8 ? t : 3 * t);
}

void ThresholdEngine::applyGlobalThreshold(PixelImage& source, PixelImage& destination, const ToneRect& rect, int shift,
                                           PixelRoad road) {
    checkRect(source, rect);
    checkSameSize(source, destination);
    computeZoneThreshold(source, rect, shift);
    if (road == PixelRoad::Direct && DirectRoad::global(source, destination, rect)) return;
    SharedCursor shared(source, &destination);
    PixelCursor& c = shared.cursor;
    for (int y = rect.top; y < rect.bottom - 1; ++y) {
        c.y = static_cast<std::uint16_t>(y);
        for (int x = rect.left; x < rect.right - 1; ++x) {
            c.x = static_cast<std::uint16_t>(x);
            setWhite(c, source.isWhiteAt());
            destination.setPixelAt();
        }
    }
}

void ThresholdEngine::applyLocalThreshold(PixelImage& source, PixelImage& destination, const ToneRect& rect,
                                          int contrast, int box, int shift, PixelRoad road) {
    checkRect(source, rect);
    checkSameSize(source, destination);
    computeZoneThreshold(source, rect, shift);
    const int b = boxSizeFor(box);
    const int h = b / 2;
    const double limit = std::abs(contrast / 100.0);
    if (road == PixelRoad::Direct && DirectRoad::local(source, destination, rect, limit, b, shift)) return;
    const long long width = source.viewWidth();
    const long long height = source.viewHeight();
    SharedCursor shared(source, &destination);
    PixelCursor& c = shared.cursor;

    // Box pixels column by column, white by `decide`.
    auto writeBox = [&](int x, int y, int columns, int rows, auto&& decide) {
        for (int i = 0; i < columns; ++i) {
            for (int j = 0; j < rows; ++j) {
                c.x = static_cast<std::uint16_t>(x + i);
                c.y = static_cast<std::uint16_t>(y + j);
                setWhite(c, decide());
                destination.setPixelAt();
            }
        }
    };
    auto globalDecision = [&] { return source.isWhiteAt(); };

    for (long long y = rect.top; y < rect.bottom - 1; y += b) {
        for (long long x = rect.left; x < rect.right - 1; x += b) {
            const int bx = static_cast<int>(x);
            const int by = static_cast<int>(y);
            if (x - h < 0 || y - h < 0 || x + h + b >= width || y + h + b >= height) {
                // Near the page edge the window would leave the page.
                const int columns = static_cast<int>(std::min<long long>(b, width - x));
                const int rows = static_cast<int>(std::min<long long>(b, height - y));
                writeBox(bx, by, columns, rows, globalDecision);
                continue;
            }
            int maxSum = -1;
            int minSum = 766;
            for (int wy = by - h; wy <= by + b + h; ++wy) {
                c.y = static_cast<std::uint16_t>(wy);
                for (int wx = bx - h; wx <= bx + b + h; ++wx) {
                    c.x = static_cast<std::uint16_t>(wx);
                    source.getPixelAt();
                    const int s = channelSum(c);
                    maxSum = std::max(maxSum, s);
                    minSum = std::min(minSum, s);
                }
            }
            const double ratio = static_cast<double>(maxSum - minSum) / static_cast<double>(maxSum + minSum);
            if (ratio > limit) {
                const long long t = minSum + (maxSum - minSum) / 2 + static_cast<long long>(shift);
                writeBox(bx, by, b, b, [&] {
                    source.getPixelAt();
                    return channelSum(c) > t;
                });
            } else {
                // Also 0 / 0 (an all-black window): NaN compares false.
                writeBox(bx, by, b, b, globalDecision);
            }
        }
    }
}

void ThresholdEngine::applyEdgeFilter(const PixelImage& source, PixelImage& destination, const ToneRect& rect,
                                      PixelRoad road) {
    checkRect(source, rect);
    checkSameSize(source, destination);
    if (road == PixelRoad::Direct && DirectRoad::edges(source, destination, rect)) return;
    const int width = source.viewWidth();
    const int height = source.viewHeight();
    const int xEnd = rect.right < width - 1 ? rect.right - 1 : width - 2;
    const int yEnd = rect.bottom < height - 1 ? rect.bottom - 1 : height - 2;
    const bool grey = source.bitCount() <= 8;
    const int divisor = grey ? 2 : 6;
    SharedCursor shared(source, &destination);
    PixelCursor& c = shared.cursor;
    auto v = [&](int x, int y) {
        c.x = static_cast<std::uint16_t>(x);
        c.y = static_cast<std::uint16_t>(y);
        source.getPixelAt();
        return grey ? static_cast<int>(c.red) : channelSum(c);
    };
    for (int y = std::max(rect.top, 1); y < yEnd; ++y) {
        for (int x = std::max(rect.left, 1); x < xEnd; ++x) {
            const int k = v(x - 1, y - 1) - v(x, y - 1) + v(x + 1, y - 1) - v(x - 1, y) - v(x + 1, y) +
                          v(x - 1, y + 1) - v(x, y + 1) + v(x + 1, y + 1);
            const int out = std::clamp(255 + k / divisor, 0, 255);
            c.x = static_cast<std::uint16_t>(x);
            c.y = static_cast<std::uint16_t>(y);
            c.red = c.green = c.blue = static_cast<std::uint8_t>(out);
            destination.setPixelAt();
        }
    }
}
