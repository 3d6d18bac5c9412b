// The control face: Leptonica's box rendering and its built-in bitmap font.
#include "platform/imagelib/LabelDrawing.h"

#include "platform/imagelib/BitmapTable.h"
#include "platform/imagelib/DibPixConverter.h"

#include <leptonica/allheaders.h>

#include <algorithm>
#include <memory>
#include <new>

namespace {
struct BoxDeleter {
    void operator()(BOX* box) const { boxDestroy(&box); }
};
struct FontDeleter {
    void operator()(L_BMF* font) const { bmfDestroy(&font); }
};
}  // namespace

int draw_labelled_frame(int handle, LONG left, LONG top, LONG right, LONG bottom, const char* text) {
    const std::shared_ptr<imagelib::BitmapTable::Entry> entry = imagelib::BitmapTable::Instance().find(handle);
    if (!entry) return IMG_BAD_HANDLE;
    std::lock_guard lock(entry->mutex);
    imagelib::Dib& dib = entry->dib;
    left = std::max<LONG>(left, 0);
    top = std::max<LONG>(top, 0);
    right = std::min<LONG>(right, dib.width());
    bottom = std::min<LONG>(bottom, dib.height());
    if (right <= left || bottom <= top) return IMG_BAD_ARGUMENT;
    try {
        imagelib::PixPtr pix = imagelib::DibPixConverter::ToPix(dib);
        if (!pix) return IMG_OUT_OF_MEMORY;
        const l_int32 depth = pixGetDepth(pix.get());
        std::unique_ptr<BOX, BoxDeleter> frame(boxCreate(left, top, right - left, bottom - top));
        if (!frame) return IMG_OUT_OF_MEMORY;
        // Black: set bits at 1 bpp (1 = black there), level 0 otherwise.
        if (depth == 1)
            pixRenderBox(pix.get(), frame.get(), 1, L_SET_PIXELS);
        else
            pixRenderBoxArb(pix.get(), frame.get(), 1, 0, 0, 0);
        if (text && *text) {
            // The largest of Leptonica's built-in faces that fits whole; a
            // face too small for any gets the outline only.
            for (const l_int32 size : {10, 8, 6, 4}) {
                std::unique_ptr<L_BMF, FontDeleter> font(bmfCreate(nullptr, size));
                l_int32 width = 0;
                if (!font || bmfGetStringWidth(font.get(), text, &width) != 0) continue;
                const l_int32 height = font->lineheight;
                if (width + 4 > right - left || height + 4 > bottom - top) continue;
                const l_int32 x = left + (right - left - width) / 2;
                const l_int32 baseline = top + (bottom - top - height) / 2 + font->baselinetab[static_cast<int>('A')];
                const l_uint32 black = depth == 1 ? 1 : 0;
                pixSetTextline(pix.get(), font.get(), text, black, x, baseline, nullptr, nullptr);
                break;
            }
        }
        dib.replaceWith(imagelib::DibPixConverter::ToDib(pix.get()));
    } catch (const std::bad_alloc&) {
        return IMG_OUT_OF_MEMORY;
    }
    return IMG_OK;
}
