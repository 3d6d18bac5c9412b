// CCropImage: the crop process's page holder. Cuts fixed margins, or finds a
// white or black border by scanning inward from each edge and cuts it (through
// the image library), and on black-and-white pages whitens a black border left
// at the row ends (in place on the DIB), or, with the frame fill, whitens the
// whole frame joined to the page edge before the cut (CropFrameFill). Detection
// reads each edge's rows or columns until the content starts, at worst half the
// page per edge; the whitening walk costs a few pixels per row plus the black
// it clears; the frame fill about 10 ms on a 1-bit 300-dpi A4 page.
#pragma once

#include "framework/HostObjects.h"
#include "image/CSnowImage.h"
#include "image/PixelImage.h"

#include <array>
#include <cstdint>
#include <memory>

class CZRProgressTracker;

class CCropImage : public CSnowImage {
public:
    // Results of run().
    static constexpr int kDone = 1;
    static constexpr int kNoImage = 2;
    static constexpr int kNotBlackAndWhite = 4;

    // `image` is the page's image object (one reference is held; null in
    // callers without a host, where whitening uses the attached handle).
    // `progressOwner` receives progress reports, or is null.
    CCropImage(CZRProgressTracker* progressOwner, IZRImage* image);
    ~CCropImage() override;

    void setMargins(int top, int bottom, int left, int right);
    void setModes(int cropBlack, int cropWhite, int invertBlack);
    // Negative sensitivities count as 0.
    void setSensitivity(int sensitivity);
    // How a black border is whitened: kWhitenRowEnds (the row walks of
    // whitenBorder) or kFillFrame (fillFrame, before the cut; any depth).
    void setBorderFill(int borderFill);
    static constexpr int kWhitenRowEnds = 0;
    static constexpr int kFillFrame = 1;

    // 1 done (or nothing to do), 2 no image attached, 4 invert-black mode on a
    // page that is not 1-bit (the page is left unchanged).
    int run();

    // Finds the border (holder attached with the raw DIB): the content starts
    // where s + 1 consecutive lines each hold a run of more than s content
    // pixels (black when cropping white, white otherwise); each margin is that
    // line less s and the safety margin, within 0..size. True, with the
    // margins stored, when any of them is above 0.
    bool detectBorders();
    // Cuts the stored margins through the library; opposite margins that
    // leave fewer than 50 pixels become (size - 100) / 2 each.
    void cutByMargins();
    // 1-bit pages: from both ends of every row, black pixels become white until
    // more than s white pixels have been crossed since the last black one.
    void whitenBorder(int sensitivity);
    // Whitens the frame connected to the page edge (CropFrameFill): thick
    // dark borders and strips along the edges with their ragged rims and
    // pinholes, keeping text that touches them. Grey and colour pages take
    // the paper tone. Returns the number of frame pixels.
    long long fillFrame();

    // Pixels kept beside the border: ceil(v * 0.01 * 0.0254) for the
    // horizontal resolution field v (1 for 300), 0 for v <= 0.
    static int SafetyMargin(int xResolution);

    int top() const { return top_; }
    int bottom() const { return bottom_; }
    int left() const { return left_; }
    int right() const { return right_; }

private:
    // Where the content starts along `lines` lines of `length` pixels, or
    // `lines` when it never does. contentAt(line, position) reads one pixel.
    template <class ContentAt>
    int scanEdge(int lines, int length, ContentAt contentAt) const;
    void report(int percent);
    void pushRange(int low, int high);
    void replaceRange(int low, int high);
    void popRange();
    // The page's current handle: the image object's when there is one.
    int currentHandle() const;

    CZRProgressTracker* progress_ = nullptr;
    CComPtr<IZRImage> image_;
    std::unique_ptr<PixelImage> pixels_;
    std::int32_t top_ = 0;
    std::int32_t bottom_ = 0;
    std::int32_t left_ = 0;
    std::int32_t right_ = 0;
    std::int32_t cropBlack_ = 0;
    std::int32_t cropWhite_ = 0;
    std::int32_t invertBlack_ = 0;
    std::int32_t sensitivity_ = 5;
    std::int32_t borderFill_ = kWhitenRowEnds;
    std::array<std::uint32_t, 8> bitMasks_{1, 2, 4, 8, 16, 32, 64, 128};
};
