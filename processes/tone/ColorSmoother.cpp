// Colour smoothing: sampling of the reference colour and its replacement.
#include "processes/tone/ColorSmoother.h"

#include "framework/CZRException.h"
#include "framework/CZRProgressTracker.h"
#include "platform/com/ComError.h"
#include "resources/MessageIds.h"

#include <cstdlib>

namespace {

// The colour table of an 8-bit page: biClrUsed entries, 256 when that is 0.
const RGBQUAD* colorTable(const PixelImage& image, DWORD* entries) {
    *entries = dib::ColorTableEntries(*image.header());
    return reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const std::uint8_t*>(image.header()) +
                                            image.header()->biSize);
}

bool near(int value, int reference, long long tolerance) { return std::abs(value - reference) <= tolerance; }

}  // namespace

long long ColorSmoother::toleranceFor(long percent) { return static_cast<long long>(percent * 2.55); }

void ColorSmoother::report(int percent) {
    if (progress_) progress_->reportProgress(percent);
}

AverageColor ColorSmoother::averageZoneColor(const PixelImage& image, long long x0, long long y0, long long x1,
                                             long long y1) {
    const long long width = image.viewWidth();
    const long long height = image.viewHeight();
    // Negative corners are as far outside the page as corners past its end.
    if (y0 >= height || y1 >= height || x0 >= width || x1 >= width || x0 < 0 || y0 < 0)
        throw CZRException(static_cast<UINT>(IDS_ZONE_OUTSIDE));
    // A one-row rectangle has no span to measure progress across: it reports 0.
    auto rowProgress = [&](long long y) {
        if (y % 20 != 0) return;
        report(y1 == y0 ? 0 : static_cast<int>(static_cast<double>(y - y0) * 100.0 / static_cast<double>(y1 - y0)));
    };
    std::uint64_t red = 0, green = 0, blue = 0, count = 0;
    PixelCursor c;
    const_cast<PixelImage&>(image).setCursor(&c);
    struct ClearCursor {
        const PixelImage& image;
        ~ClearCursor() { const_cast<PixelImage&>(image).setCursor(nullptr); }
    } clear{image};
    if (image.bitCount() == 24) {
        for (long long y = y0; y <= y1; y += 4) {
            rowProgress(y);
            c.y = static_cast<std::uint16_t>(y);
            for (long long x = x0; x <= x1; x += 4) {
                c.x = static_cast<std::uint16_t>(x);
                image.getPixelAt();
                red += c.red;
                green += c.green;
                blue += c.blue;
                ++count;
            }
        }
    } else if (image.bitCount() == 8) {
        DWORD entries = 0;
        const RGBQUAD* table = colorTable(image, &entries);
        for (long long y = y0; y <= y1; ++y) {
            rowProgress(y);
            c.y = static_cast<std::uint16_t>(y);
            for (long long x = x0; x <= x1; ++x) {
                c.x = static_cast<std::uint16_t>(x);
                image.getPixelAt();
                // An index past a short colour table would read pixel bytes as colours.
                if (c.red >= entries) throw CZRException(static_cast<UINT>(IDS_INVALID_IMAGE));
                red += table[c.red].rgbRed;
                green += table[c.red].rgbGreen;
                blue += table[c.red].rgbBlue;
                ++count;
            }
        }
    }
    report(100);
    if (count == 0) throw _com_error(E_FAIL);
    AverageColor average;
    average.blue = static_cast<std::uint8_t>(blue / count);
    average.green = static_cast<std::uint8_t>(green / count);
    average.red = static_cast<std::uint8_t>(red / count);
    return average;
}

void ColorSmoother::replaceNearColor(PixelImage& image, AverageColor average, long long tolerance) {
    if (image.bitCount() == 8) {
        DWORD entries = 0;
        RGBQUAD* table = const_cast<RGBQUAD*>(colorTable(image, &entries));
        for (DWORD i = 0; i < entries; ++i) {
            RGBQUAD& entry = table[i];
            if (near(entry.rgbRed, average.red, tolerance) && near(entry.rgbGreen, average.green, tolerance) &&
                near(entry.rgbBlue, average.blue, tolerance)) {
                entry.rgbBlue = average.blue;
                entry.rgbGreen = average.green;
                entry.rgbRed = average.red;
                entry.rgbReserved = average.spare;
            }
        }
    } else if (image.bitCount() == 24 && !image.rotatedView() && !accessorsOnly_) {
        // The same comparison straight on the rows: blue, green, red.
        const int width = image.width();
        const int height = image.height();
        for (int y = 0; y < height; ++y) {
            if (y % 20 == 0) report(static_cast<int>(static_cast<double>(y) * 100.0 / height));
            std::uint8_t* p = image.row(y);
            for (int x = 0; x < width; ++x, p += 3) {
                if (near(p[2], average.red, tolerance) && near(p[1], average.green, tolerance) &&
                    near(p[0], average.blue, tolerance)) {
                    p[0] = average.blue;
                    p[1] = average.green;
                    p[2] = average.red;
                }
            }
        }
    } else {
        const int width = image.viewWidth();
        const int height = image.viewHeight();
        PixelCursor c;
        image.setCursor(&c);
        struct ClearCursor {
            PixelImage& image;
            ~ClearCursor() { image.setCursor(nullptr); }
        } clear{image};
        for (int y = 0; y < height; ++y) {
            if (y % 20 == 0) report(static_cast<int>(static_cast<double>(y) * 100.0 / height));
            c.y = static_cast<std::uint16_t>(y);
            for (int x = 0; x < width; ++x) {
                c.x = static_cast<std::uint16_t>(x);
                image.getPixelAt();
                if (near(c.red, average.red, tolerance) && near(c.green, average.green, tolerance) &&
                    near(c.blue, average.blue, tolerance)) {
                    c.red = average.red;
                    c.green = average.green;
                    c.blue = average.blue;
                    image.setPixelAt();
                }
            }
        }
    }
    report(100);
}
