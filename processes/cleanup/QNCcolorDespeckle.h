// QNCcolorDespeckle: despeckle for 8-bit grey and 24-bit colour pages. An
// M x M window (M = N + 2) slides over the page; where the one-pixel ring
// around its N x N centre is even (grey-level variance below 100) and the
// centre pixel is much darker than the ring's darkest pixel, or about as
// dark, the centre square is painted with the ring's tone: its mean grey
// level on grey pages, the colour of the ring pixel closest to that mean on
// colour pages. Every decision reads the unchanged page. The ring's histogram
// (with eight coarse counters), sum and sum of squares follow the window
// column by column, O(M) per step, and its minimum is kept as levels enter
// and searched upwards only when the lowest level empties. Cost: about
// W x H / step windows, each with its O(M) update and, on even paper, an N x N
// paint; 0.2 to 0.4 s for an A4 page at 300 dpi. Memory: a grey plane and the
// output planes (24-bit: also the source planes), W x H bytes each. One engine
// serves one page.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

class PixelImage;

class QNCcolorDespeckle {
public:
    // m: window side; n: centre side (the process passes "SIZE" + 2 and
    // "SIZE"). Reads the page into the planes. CZRException 2159 when they
    // cannot be allocated.
    QNCcolorDespeckle(PixelImage& image, int m, int n);
    QNCcolorDespeckle(const QNCcolorDespeckle&) = delete;
    QNCcolorDespeckle& operator=(const QNCcolorDespeckle&) = delete;

    // Slides the window over the page and paints the output planes.
    void run();
    // Writes the output planes into the page.
    void writeBack();

    // Grey level of a colour pixel.
    static std::uint8_t GreyOf(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
        return static_cast<std::uint8_t>((306u * red + 601u * green + 117u * blue) / 1024u);
    }

private:
    enum Mode { kGrey = 1, kColour = 2, kNone = 3 };

    std::size_t at(int x, int y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x);
    }
    std::uint8_t grey(int x, int y) const { return grey_[at(x, y)]; }
    void addToRing(std::uint8_t level);
    void removeFromRing(std::uint8_t level);
    void startRow(int y);
    void stepRight(int x, int y);
    int ringMinimum();
    void paint(int x, int y, std::uint8_t mean);
    // Calls visit(x, y) for every ring pixel of the window at (x, y) in ring
    // order: top rows, left columns, bottom rows, right columns.
    template <class Visit>
    bool forEachRingPixel(int x, int y, Visit&& visit) const;

    PixelImage& image_;
    Mode mode_ = kNone;
    int m_ = 0;  // window side
    int n_ = 0;  // centre side
    int t_ = 0;  // ring thickness (M - N) / 2
    int h_ = 0;  // centre offset (M - 1) / 2
    int width_ = 0;
    int height_ = 0;
    std::uint64_t k_ = 0;  // ring pixel count M^2 - N^2
    int step_ = 1;
    std::array<std::uint32_t, 256> histogram_{};
    std::array<std::uint32_t, 8> coarse_{};  // one counter per 32 grey levels
    // Held in 64 bits: with 32 the sum of squares of a ring wider than
    // 66 000 pixels would wrap.
    std::uint64_t sum_ = 0;
    std::uint64_t sumOfSquares_ = 0;
    int minimum_ = 256;                                      // lowest level in the ring (256: none yet)
    bool minimumStale_ = false;                              // the lowest level has emptied; search upwards
    std::vector<std::uint8_t> grey_;                         // the page as grey levels, never changed
    std::vector<std::uint8_t> outRed_;                       // 8-bit: the output grey plane
    std::vector<std::uint8_t> outGreen_, outBlue_;           // 24-bit only
    std::vector<std::uint8_t> srcRed_, srcGreen_, srcBlue_;  // 24-bit only, never changed
};
