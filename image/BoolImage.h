// The one-bit working image of the line-based processes: one white/black
// decision per pixel of a PixelImage (automatic threshold for grey and colour
// pages), packed row after row with no gap (LSB first, 1 = white). Read and
// written through an accessor table chosen once for the plain view or the
// quarter turn clockwise. Construction is O(pixels) plus the threshold
// sampling; access is O(1); rotate is O(pixels).
#pragma once

#include "image/BoolArray.h"
#include "image/PixelCursor.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class BoolImage;
class PixelImage;

// Seven slots; every read returns true for white. Coordinates are view
// coordinates; the Checked forms read white outside the view and ignore
// writes there; the At forms use the cursor's x and y (setAt writes its bit).
struct BoolAccessorTable {
    bool (*get)(const BoolImage&, int x, int y);
    bool (*getAt)(const BoolImage&);
    bool (*getChecked)(const BoolImage&, int x, int y);
    bool (*getAtChecked)(const BoolImage&);
    void (*setAt)(BoolImage&);
    void (*set)(BoolImage&, int x, int y, int value);
    void (*setChecked)(BoolImage&, int x, int y, int value);
};

class BoolImage {
public:
    static constexpr std::size_t kMaxNameLength = 259;

    // Decides every pixel of source's current view through its isWhiteAt.
    // thresholdMode 1 (what processes pass) first sets the source's threshold
    // with computeAutoThreshold for 8- and 24-bit sources; 2 is refused ("Not
    // implemented"); other values keep the source's threshold. Throws "No
    // image" for a null source. The source's cursor is restored afterwards.
    explicit BoolImage(PixelImage* source, int thresholdMode = 1);
    virtual ~BoolImage();
    BoolImage(const BoolImage&) = delete;
    BoolImage& operator=(const BoolImage&) = delete;

    // View size: stored size, exchanged while rotatedView is set.
    virtual int width() const;
    virtual int height() const;
    virtual void setFlag(std::uint8_t flag);
    // Quarter turns clockwise of the stored image (0..3); "Invalid rotation"
    // for anything else, leaving the image as it was.
    virtual void rotate(int quarterTurns);
    virtual void setCursor(PixelCursor* cursor);

    bool get(int x, int y) const { return table_.get(*this, x, y); }
    bool getAt() const { return table_.getAt(*this); }
    bool getChecked(int x, int y) const { return table_.getChecked(*this, x, y); }
    bool getAtChecked() const { return table_.getAtChecked(*this); }
    void setAt() { table_.setAt(*this); }
    void set(int x, int y, int value) { table_.set(*this, x, y, value); }
    void setChecked(int x, int y, int value) { table_.setChecked(*this, x, y, value); }
    const BoolAccessorTable& accessors() const { return table_; }

    bool rotatedView() const { return rotatedView_ != 0; }
    // View (a, b) is stored pixel (b, storedHeight - 1 - a) while set.
    void setRotatedView(bool rotated);

    int storedWidth() const { return static_cast<int>(width_); }
    int storedHeight() const { return static_cast<int>(height_); }
    std::uint32_t pixelCount() const { return pixelCount_; }
    const BoolArray& bits() const { return *bits_; }
    std::uint8_t flag() const { return flag_; }
    const std::string& name() const { return name_; }
    PixelCursor* cursor() const { return cursor_; }
    int xResolution() const { return xResolution_; }
    int yResolution() const { return yResolution_; }

private:
    struct Access;
    friend struct Access;

    void buildRowTables();
    void buildAccessorTable();

    BoolAccessorTable table_{};
    std::unique_ptr<BoolArray> bits_;
    std::uint32_t width_ = 0;
    std::uint32_t height_ = 0;
    std::uint32_t pixelCount_ = 0;
    std::uint16_t width16_ = 0;
    std::uint16_t height16_ = 0;
    std::int32_t rowLength_ = 0;
    std::int32_t rowCount_ = 0;
    std::int32_t bitTotal_ = 0;
    std::uint8_t flag_ = 0;
    std::string name_;
    PixelCursor* cursor_ = nullptr;
    std::int32_t xResolution_ = 0;
    std::int32_t yResolution_ = 0;
    std::vector<std::uint32_t> topDown_;
    std::vector<std::uint32_t> bottomUp_;
    std::uint8_t rotatedView_ = 0;
};
