// Rectangle inversion through the pixel accessors.
#include "processes/geometry/CInvertImage.h"

#include "image/PixelImage.h"

#include <algorithm>

void CInvertImage::invertRect(int x, int y, int w, int h) {
    if (!hasImage() || !header()) return;
    const int pageWidth = width();
    const int pageHeight = height();
    // A zone starting left of or above the page keeps its right and bottom
    // edges: only the part on the page is inverted.
    if (x < 0) {
        w = static_cast<int>(std::max<long long>(static_cast<long long>(w) + x, 0));
        x = 0;
    }
    if (y < 0) {
        h = static_cast<int>(std::max<long long>(static_cast<long long>(h) + y, 0));
        y = 0;
    }
    if (w <= 0 || h <= 0 || y >= pageHeight || x >= pageWidth) return;
    if (static_cast<long long>(x) + w >= pageWidth) w = pageWidth - x - 1;
    if (static_cast<long long>(y) + h >= pageHeight) h = pageHeight - y - 1;
    PixelImage pixels(header());
    PixelCursor cursor;
    pixels.setCursor(&cursor);
    for (int row = y; row < y + h; ++row) {
        cursor.y = static_cast<std::uint16_t>(row);
        for (int column = x; column < x + w; ++column) {
            cursor.x = static_cast<std::uint16_t>(column);
            pixels.getPixelAt();
            cursor.red = static_cast<std::uint8_t>(~cursor.red);
            cursor.green = static_cast<std::uint8_t>(~cursor.green);
            cursor.blue = static_cast<std::uint8_t>(~cursor.blue);
            pixels.setPixelAt();
        }
    }
    pixels.setCursor(nullptr);
}
