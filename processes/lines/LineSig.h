// The line signature of a page: finds the straight dark segments (rules,
// underlines, table borders, long strokes) of a one-bit view and measures
// them, horizontal ones in the plain view and vertical ones in the view turned
// a quarter turn clockwise. It never changes the image. Cost: a few probes of
// up to 11 short pixel walks on every rowStep-th row of a few dozen scan
// columns per view, plus the tracing of each hit: well under one read per page
// pixel; merging is quadratic in the number of segments.
#pragma once

#include "processes/lines/LineRecord.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class BoolImage;
class PixelImage;

class LineSig {
public:
    using Records = std::vector<std::unique_ptr<LineRecord>>;
    // Receives progress percentages (0..100) with the context it was given.
    using ProgressHook = void (*)(void* context, int percent);

    static constexpr std::size_t kMaxNameLength = 259;

    // With an image (the deskew use) or without (the line-removal base).
    explicit LineSig(PixelImage* image = nullptr);
    // Virtual so a derived signature held by a LineSig pointer is destroyed whole.
    virtual ~LineSig();
    LineSig(const LineSig&) = delete;
    LineSig& operator=(const LineSig&) = delete;

    // --- parameters, set between construction and create ---
    int rowStep = 3;          // distance between probe rows along a scan column
    int mergeGap = 55;        // largest gap along the line between two joined segments
    int mergeOffset = 4;      // largest offset across the line between two joined segments
    int minLengthH = 200;     // shorter horizontal segments (against the view width) are dropped
    int minLengthV = 200;     // shorter vertical segments (against the view height) are dropped
    int minTraceLength = 40;  // a trace is recorded only when longer than this
    int hitQuota = 23;        // a probe needs hitQuota / probeStep accepted samples
    int columnSpacing = 31;   // divisor for the scan column count, smallest column spacing
    int probeHalfWidth = 15;  // probe samples x - this .. x + this; also the tracing step
    int skipAfterHit = 7;     // rows skipped after a successful probe
    int edgeSearchDepth = 3;  // how far a probe looks up or down for the edge
    int mergePasses = 10;     // largest number of merge passes
    int cleanRunLength = 3;   // pixels beyond an edge that must be clean
    int maxTransitions = 1;   // colour changes allowed among them
    int probeStep = 3;        // spacing of the probe's sample columns
    bool wantHorizontal = true;
    bool wantVertical = false;
    double scanFraction = 0.2;  // share of the page the scan columns cover; > 1 is a percentage
    int margin = 15;            // smallest distance of scan columns and probe rows from the edges
    bool bothViews = true;      // each wanted orientation in its own view; else one scan in the current view

    // --- virtual operations ---
    virtual bool isEmpty() const;
    virtual bool noHorizontalLines() const;
    virtual bool noVerticalLines() const;
    // The attached BoolImage's view size, else the PixelImage's, else the cached size.
    virtual std::uint16_t width() const;
    virtual std::uint16_t height() const;
    // Attaches (or with null detaches) the page image, takes its resolution
    // and selects the pixel test: the BoolImage's when one is attached, else
    // the PixelImage's, else a stub that throws.
    virtual void setImage(PixelImage* image);
    // Attaches a BoolImage and selects its pixel test; null only detaches.
    virtual void setBoolImage(BoolImage* image);
    virtual bool isTransposed() const;
    // Sets the quarter-turn view on the attached images and re-caches the
    // size (exchanges the cached size when no image is attached).
    virtual void setTransposed(bool transposed);

    // Runs the detection. Throws QNCException "LineSig already created" or
    // "No Image Defined" (2160). Afterwards no image is attached.
    void create();

    // Tests whether the upper edge of a dark band passes near (x, y) of the
    // current view; fills the drift and reach results below. Pixels outside
    // the view read as white.
    bool probeEdge(int x, int y);
    int leftDrift() const { return leftDrift_; }
    int rightDrift() const { return rightDrift_; }
    int leftReach() const { return leftReach_; }
    int rightReach() const { return rightReach_; }

    // Sets length and angle of every live record and the two totals.
    void measureSegments();

    // --- results ---
    Records& horizontal() { return horizontal_; }
    Records& vertical() { return vertical_; }
    const Records& horizontal() const { return horizontal_; }
    const Records& vertical() const { return vertical_; }
    double totalLengthH() const { return totalLengthH_; }
    double totalLengthV() const { return totalLengthV_; }
    bool created() const { return created_; }
    const std::string& typeName() const { return typeName_; }
    const std::string& imageName() const { return imageName_; }
    int resolution() const { return resolution_; }
    // Derived by create: scan column counts, longest trace, hits a probe needs.
    int countA() const { return countA_; }
    int countB() const { return countB_; }
    int maxTrace() const { return maxTrace_; }
    int needHits() const { return needHits_; }

    // --- progress ---
    void setProgressHook(ProgressHook hook, void* context) {
        progressHook_ = hook;
        progressContext_ = context;
    }
    // Clamps both bounds to 0..100 and reports the lower one.
    void setProgressRange(double lo, double hi);
    // p >= 0 passes lo + (hi - lo) * min(p, 100) / 100; negative p passes lo.
    void reportProgress(int percent);

protected:
    // Lets a subclass rerun the detection.
    void clearCreated() { created_ = false; }
    PixelImage* pixelImage() const { return image_; }
    BoolImage* boolImage() const { return boolImage_; }

private:
    struct PixelTest;
    template <class Pixels>
    struct Scanner;

    void freeRecords();
    void selectPixelTest();
    void recacheSize();
    double effectiveScanFraction() const;
    void scanLines();
    template <class Pixels>
    void scanWith(const Pixels& pixels, int viewWidth, int viewHeight);
    void mergeSegments();
    void filterByLength();
    void compactAndSort();

    Records horizontal_;
    Records vertical_;
    PixelImage* image_ = nullptr;
    BoolImage* boolImage_ = nullptr;
    // The pixel test: white at (x, y) of the current view.
    bool (*pixelTest_)(const void* image, int x, int y) = nullptr;
    const void* pixelTestImage_ = nullptr;
    std::uint16_t cachedWidth_ = 0;
    std::uint16_t cachedHeight_ = 0;
    bool transposed_ = false;
    bool created_ = false;
    std::string typeName_;
    std::string imageName_;
    ProgressHook progressHook_ = nullptr;
    void* progressContext_ = nullptr;
    double progressLo_ = 0.0;
    double progressHi_ = 100.0;
    int resolution_ = 0;
    double totalLengthH_ = 0.0;
    double totalLengthV_ = 0.0;
    int leftDrift_ = 0;
    int rightDrift_ = 0;
    int leftReach_ = 0;
    int rightReach_ = 0;
    int countA_ = 0;
    int countB_ = 0;
    int maxTrace_ = 0;
    int needHits_ = 0;
};
