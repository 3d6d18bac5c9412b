// QNCcolorDespeckle: despeckle for 8-bit grey and 24-bit colour pages. An
// M x M window (M = N + 2) slides over the page; where the one-pixel ring
// around its N x N centre is even (grey-level variance below 100) and the
// centre pixel is much darker than the ring's darkest pixel, or about as
// dark, the centre square is painted with the ring's tone: its mean grey
// level on grey pages, the colour of the ring pixel closest to that mean on
// colour pages. Every decision reads the unchanged page.
//
// Two engines give the same pixels. Centres up to kRowEngineMaxSide wide are
// handled a whole row of windows at a time: the minimum, sum and sum of
// squares of the centre rows are gathered once per column and shared by all
// windows of the row, the top and bottom rows are added in M passes, and every
// step is a loop over the row that the compiler vectorises; the paint of a row
// is folded into one mask and value row and laid onto the N centre rows.
// Wider centres (few window rows, since rows advance by N / 2) take the
// column-by-column engine: a ring histogram with eight coarse counters, a sum
// and a sum of squares updated as the window moves right.
//
// Cost: the row engine about 20 vector operations per window on grey pages
// and up to K more on colour pages (the colour search); about 30 to 40 ms for
// an 8-bit A4 page at 300 dpi with "SIZE" 1 or 3 and 90 to 100 ms for a 24-bit
// one, on one core. Memory: the last M rows as read (grey levels, and on colour
// pages the source pixels) and a few rows of working buffers; a plain view is
// painted in place, a turned view through an output plane of the whole page.
// One engine serves one page.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class PixelImage;

class QNCcolorDespeckle {
public:
    // Widest centre square the row engine takes: its ring (4 N + 4 pixels)
    // then fits 128 counts, its sums fit 32 bits and a ring position a byte.
    static constexpr int kRowEngineMaxSide = 31;

    // m: window side; n: centre side (the process passes "SIZE" + 2 and
    // "SIZE"). Reads the page into the planes.
    QNCcolorDespeckle(PixelImage& image, int m, int n);
    QNCcolorDespeckle(const QNCcolorDespeckle&) = delete;
    QNCcolorDespeckle& operator=(const QNCcolorDespeckle&) = delete;

    // Slides the window over the page and paints the output: the page itself
    // in the plain view, output planes in the turned view.
    void run();
    // Writes output planes into the page (turned view; the plain view is done).
    void writeBack();

    // Grey level of a colour pixel.
    static std::uint8_t GreyOf(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
        return static_cast<std::uint8_t>((306u * red + 601u * green + 117u * blue) / 1024u);
    }
    // The rounded ring mean (K / 2 + sum) / K as the row engine computes it,
    // by a multiplication: exact for 8 <= K <= 128 and sum <= 255 K.
    static std::uint32_t RoundedMean(std::uint32_t sum, std::uint32_t k, std::uint32_t reciprocal) {
        return ((k / 2 + sum) * reciprocal) >> kMeanShift;
    }
    static std::uint32_t MeanReciprocal(std::uint32_t k) { return ((1u << kMeanShift) + k - 1) / k; }

private:
    enum Mode { kGrey = 1, kColour = 2, kNone = 3 };
    static constexpr int kMeanShift = 23;

    std::size_t slotOf(int y) const { return static_cast<std::size_t>(y % m_) * static_cast<std::size_t>(width_); }
    const std::uint8_t* greyRow(int y) const { return greyRows_.data() + slotOf(y); }
    const std::uint8_t* sourceRow(int y) const { return sourceRows_.data() + 3 * slotOf(y); }
    std::uint8_t grey(int x, int y) const { return greyRow(y)[x]; }
    void loadRows(int last);
    std::uint8_t* outputRow(int y) const;
    int channels() const { return mode_ == kColour ? 3 : 1; }

    // Row engine.
    void runRows();
    void gatherCentreColumns(int y);
    int rowRun(int r, int windows);
    void ringStatistics(int y, int windows);
    void decide(int y, int windows);
    void choosePainted(int windows);
    void chooseColours(int y, int windows);
    void paintRow(int y, int windows);

    // Column-by-column engine.
    void runColumns();
    void addToRing(std::uint8_t level);
    void removeFromRing(std::uint8_t level);
    void startRow(int y);
    void stepRight(int x, int y);
    int ringMinimum();
    void paintFromHistogram(int x, int y, std::uint8_t mean);
    // Calls visit(x, y) for every ring pixel of the window at (x, y) in ring
    // order: top rows, left columns, bottom rows, right columns.
    template <class Visit>
    bool forEachRingPixel(int x, int y, Visit&& visit) const;
    void fillSquare(int x, int y, const std::uint8_t* value);

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

    // The last M page rows as read (slot = row modulo M): grey levels, and for
    // 24-bit pages blue, green, red. Every decision and every colour comes
    // from these, never from painted pixels.
    std::vector<std::uint8_t> greyRows_;
    std::vector<std::uint8_t> sourceRows_;
    int loadedUpTo_ = -1;  // rows 0 .. loadedUpTo_ have been copied
    // Grey level (8-bit) or blue, green, red (24-bit) per pixel; only for a
    // turned view: a plain view is painted in place, its row table at hand.
    std::unique_ptr<std::uint8_t[]> output_;

    // Row engine: per column of the page, over the centre rows of the window row.
    std::vector<std::uint8_t> columnMin_;
    std::vector<std::uint32_t> columnSum_, columnSquares_;
    // Per page row (the last M computed, slot = row modulo M) and window column:
    // the run of M pixels starting there.
    std::vector<int> rowOfSlot_;
    std::vector<std::uint8_t> runMin_;
    std::vector<std::uint32_t> runSum_, runSquares_;
    // Per window of the row.
    std::vector<std::uint8_t> ringMin_;
    std::vector<std::uint32_t> ringSum_, ringSquares_;
    std::vector<std::uint8_t> mean_;
    std::vector<std::uint8_t> acts_;     // 0xFF: the window qualifies
    std::vector<std::uint8_t> painted_;  // 0xFF per channel byte: the window paints
    std::vector<std::uint8_t> tone_;     // per channel byte: what it paints
    std::vector<std::uint8_t> bestKey_, bestPosition_;
    std::vector<std::int16_t> ringDx_, ringDy_;  // ring positions in ring order
    // Per channel byte of a page row: the folded paint of the window row.
    std::vector<std::uint8_t> paintMask_, paintTone_;

    // Column-by-column engine.
    std::array<std::uint32_t, 256> histogram_{};
    std::array<std::uint32_t, 8> coarse_{};  // one counter per 32 grey levels
    // Held in 64 bits: with 32 the sum of squares of a ring wider than
    // 66 000 pixels would wrap.
    std::uint64_t sum_ = 0;
    std::uint64_t sumOfSquares_ = 0;
    int minimum_ = 256;          // lowest level in the ring (256: none yet)
    bool minimumStale_ = false;  // the lowest level has emptied; search upwards
};
