// Per-pixel access to a page bitmap (1, 8 or 24 bits): wraps a packed DIB or
// owns a library bitmap it created, keeps one row start pointer per stored row
// and a table of accessor functions chosen once for the depth and the view
// (plain or turned a quarter turn clockwise), so pixel loops make one indirect
// call per pixel and never test the depth. Construction is O(rows); every
// accessor is O(1); computeAutoThreshold samples about pixels / 144 pixels.
#pragma once

#include "image/PixelCursor.h"
#include "platform/imagelib/ImageWrapper.h"

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class PixelImage;

// One slot per access kind. Coordinates are view coordinates; the Checked
// forms treat anything outside the view as white and ignore writes there; the
// At forms take the position from the image's cursor and read or write its
// colour bytes. For 1-bit pages setPixel's red argument is the white flag; for
// 8-bit pages it is the grey level.
struct PixelAccessorTable {
    bool (*isWhite)(const PixelImage&, int x, int y);
    void (*getPixel)(const PixelImage&, int x, int y, std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue);
    bool (*isWhiteChecked)(const PixelImage&, int x, int y);
    void (*getPixelChecked)(const PixelImage&, int x, int y, std::uint8_t& red, std::uint8_t& green,
                            std::uint8_t& blue);
    void (*setPixel)(PixelImage&, int x, int y, std::uint8_t red, std::uint8_t green, std::uint8_t blue);
    void (*setPixelChecked)(PixelImage&, int x, int y, std::uint8_t red, std::uint8_t green, std::uint8_t blue);
    bool (*isWhiteAt)(const PixelImage&);
    void (*getPixelAt)(const PixelImage&);
    bool (*isWhiteAtChecked)(const PixelImage&);
    void (*getPixelAtChecked)(const PixelImage&);
    void (*setPixelAt)(PixelImage&);
    void (*setPixelAtChecked)(PixelImage&);
};

class PixelImage {
public:
    using Histogram = std::array<std::uint32_t, 256>;

    // Wraps a packed DIB (normally ImageWrapper::get_raw_dib of a page) without
    // owning it; the DIB must outlive this object. Throws QNCException
    // "Invalid image" (2160) for a null header, a header size other than 40, a
    // top-down or oversized DIB, "Image too small" (2165) when narrower than 8
    // pixels or 0 rows high.
    explicit PixelImage(BITMAPINFOHEADER* header);
    // Creates and owns a new library bitmap; every pixel byte 0xFF when
    // fillWhite. "Image too small" (2165) when width < 8 or height < 1.
    PixelImage(int width, int height, int bitCount, bool fillWhite);
    // A new owned library bitmap holding a copy of other's pixels; default
    // threshold, plain view, no cursor, empty name.
    PixelImage(const PixelImage& other);
    PixelImage(PixelImage&& other) noexcept;
    PixelImage& operator=(const PixelImage&) = delete;
    PixelImage& operator=(PixelImage&&) = delete;
    // Deletes the owned bitmap, if any.
    ~PixelImage();

    // --- accessors (view coordinates) ---
    bool isWhite(int x, int y) const { return table_.isWhite(*this, x, y); }
    void getPixel(int x, int y, std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) const {
        table_.getPixel(*this, x, y, red, green, blue);
    }
    bool isWhiteChecked(int x, int y) const { return table_.isWhiteChecked(*this, x, y); }
    void getPixelChecked(int x, int y, std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) const {
        table_.getPixelChecked(*this, x, y, red, green, blue);
    }
    void setPixel(int x, int y, std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
        table_.setPixel(*this, x, y, red, green, blue);
    }
    // One value: the white flag (1 bit), the grey level (8 bits), a grey (24 bits).
    void setPixel(int x, int y, std::uint8_t value) { table_.setPixel(*this, x, y, value, value, value); }
    void setPixelChecked(int x, int y, std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
        table_.setPixelChecked(*this, x, y, red, green, blue);
    }
    void setPixelChecked(int x, int y, std::uint8_t value) { table_.setPixelChecked(*this, x, y, value, value, value); }
    bool isWhiteAt() const { return table_.isWhiteAt(*this); }
    void getPixelAt() const { table_.getPixelAt(*this); }
    bool isWhiteAtChecked() const { return table_.isWhiteAtChecked(*this); }
    void getPixelAtChecked() const { table_.getPixelAtChecked(*this); }
    void setPixelAt() { table_.setPixelAt(*this); }
    void setPixelAtChecked() { table_.setPixelAtChecked(*this); }
    // 1-bit pages, plain view only: the cursor pixel becomes white / black.
    void setCursorWhite();
    void setCursorBlack();
    const PixelAccessorTable& accessors() const { return table_; }

    // --- view ---
    bool rotatedView() const { return rotatedView_ != 0; }
    // Switches between the plain view and the quarter turn clockwise, in which
    // view (u, v) is page pixel (v, height - 1 - u).
    void setRotatedView(bool rotated);
    int viewWidth() const { return rotatedView_ ? height_ : width_; }
    int viewHeight() const { return rotatedView_ ? width_ : height_; }

    // --- stored image ---
    int width() const { return width_; }
    int height() const { return height_; }
    int bitCount() const { return static_cast<int>(bitCount_); }
    int stride() const { return static_cast<int>(stride_); }
    int xResolution() const { return xResolution_; }
    int yResolution() const { return yResolution_; }
    // Library handle owned by this object, -1 when it wraps someone else's DIB.
    int handle() const { return handle_; }
    BITMAPINFOHEADER* header() const { return header_; }
    std::uint8_t* bits() const { return bits_; }
    // Row table entry i (plain view: page row i from the top; rotated view:
    // stored row i, bottom row first).
    std::uint8_t* row(int i) const { return rows_[static_cast<std::size_t>(i)]; }

    // --- threshold, cursor, name ---
    // 8 bits: grey >= threshold is white; 24 bits: blue + green + red >= threshold.
    int whiteThreshold() const { return whiteThreshold_; }
    void setWhiteThreshold(int threshold) { whiteThreshold_ = threshold; }
    PixelCursor* cursor() const { return cursor_; }
    void setCursor(PixelCursor* cursor) { cursor_ = cursor; }
    const std::string& name() const { return name_; }
    void setName(std::string name) { name_ = std::move(name); }

    // Sets whiteThreshold from the grey-level histogram of a sample of the
    // view: midway between the two main peaks, plus 10. Clears the cursor.
    void computeAutoThreshold();
    // 256 counters over a 12-pixel grid with a diagonal jitter of 0..12,
    // leaving 2 % margins (at least 12 pixels before and 14 after). Throws
    // "Image too small" (2165) for views under three margins. Clears the cursor.
    void sampleHistogram(Histogram& counts);
    // The threshold (0..254, grey scale) that computeAutoThreshold derives from
    // a histogram.
    static int thresholdFromHistogram(const Histogram& counts);

    // Hands the owned bitmap over (for SetHandle): returns its handle and stops
    // owning it; the pixels stay reachable while the new owner keeps the
    // bitmap. -1 when nothing is owned.
    int releaseHandle();
    // A handle for SetHandle: the owned one (released as above) or, for a
    // wrapped DIB, a new library bitmap holding a copy; the caller owns it.
    int makeHandle();

private:
    struct Access;
    friend struct Access;

    PixelImage() = default;
    void attachOwned(int handle);
    void computeLayout();
    void buildRowTable();
    void buildAccessorTable();
    void setDefaultThreshold();

    PixelAccessorTable table_{};
    std::uint16_t width_ = 0;
    std::uint16_t height_ = 0;
    std::uint32_t bitCount_ = 0;
    std::int32_t whiteThreshold_ = 0;
    std::int32_t xResolution_ = 0;
    std::int32_t yResolution_ = 0;
    std::int32_t handle_ = -1;
    std::uint32_t stride_ = 0;
    std::uint8_t* bits_ = nullptr;
    BITMAPINFOHEADER* header_ = nullptr;
    std::uint8_t rotatedView_ = 0;
    PixelCursor* cursor_ = nullptr;
    std::vector<std::uint8_t*> rows_;
    std::string name_;
};

// Points the image's cursor at `temporary` for a scan and puts the previous
// cursor back however the scan ends (normally, early or by an exception).
class CursorScope {
public:
    CursorScope(PixelImage& image, PixelCursor* temporary) : image_(image), previous_(image.cursor()) {
        image.setCursor(temporary);
    }
    ~CursorScope() { image_.setCursor(previous_); }
    CursorScope(const CursorScope&) = delete;
    CursorScope& operator=(const CursorScope&) = delete;

private:
    PixelImage& image_;
    PixelCursor* previous_;
};
