// The twelve bitmap functions. Each looks the handle up, holds that bitmap's
// lock and either edits the DIB in place (invert, resolution: O(pixels) or
// O(1)), turns it by quarter turns directly (O(pixels)), or runs a Leptonica
// transform and swaps the result in (O(pixels)).
// No exception leaves this file: failures become negative statuses.
#include "platform/imagelib/ImageWrapper.h"

#include "platform/imagelib/BitmapTable.h"
#include "platform/imagelib/DibBinarizer.h"
#include "platform/imagelib/DibImporter.h"
#include "platform/imagelib/DibPixConverter.h"
#include "platform/imagelib/FineRotation.h"
#include "platform/imagelib/PageBridge.h"
#include "platform/imagelib/PixTransforms.h"
#include "platform/imagelib/QuarterTurn.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <numbers>

namespace imagelib {
namespace {

// Leptonica reports every problem on stderr; the statuses say it instead.
[[maybe_unused]] const int kQuietLeptonica = setMsgSeverity(L_SEVERITY_NONE);

template <class Op>
int WithBitmap(int handle, Op&& op) {
    const auto entry = BitmapTable::Instance().find(handle);
    if (!entry) return IMG_BAD_HANDLE;
    std::lock_guard lock(entry->mutex);
    if (entry->dib.empty()) return IMG_BAD_HANDLE;
    if (!entry->dib.intact()) return IMG_INTERNAL_ERROR;
    try {
        return op(entry->dib);
    } catch (const std::bad_alloc&) {
        return IMG_OUT_OF_MEMORY;
    } catch (...) {
        return IMG_INTERNAL_ERROR;
    }
}

// DIB -> Leptonica -> transform -> DIB; the page keeps its resolution.
template <class Transform>
int ThroughPix(Dib& dib, Transform&& transform) {
    const PixPtr source = DibPixConverter::ToPix(dib);
    if (!source) return IMG_OUT_OF_MEMORY;
    PixPtr result;
    const int status = transform(source.get(), &result);
    if (status < 0) return status;
    Dib converted = DibPixConverter::ToDib(result.get());
    converted.header()->biXPelsPerMeter = dib.header()->biXPelsPerMeter;
    converted.header()->biYPelsPerMeter = dib.header()->biYPelsPerMeter;
    dib.replaceWith(std::move(converted));
    return IMG_OK;
}

int AddToTable(Dib dib) { return BitmapTable::Instance().add(std::move(dib)); }

}  // namespace
}  // namespace imagelib

using imagelib::BitmapTable;
using imagelib::Dib;
using imagelib::PixPtr;
using imagelib::PixTransforms;

int ImageWrapper::set_bit_depth(int handle, int bits, bool flag) {
    return imagelib::WithBitmap(handle, [&](Dib& dib) {
        if (bits != 1 && bits != 8 && bits != 24) return static_cast<int>(IMG_UNSUPPORTED_COLOR);
        if (bits == dib.bits()) return static_cast<int>(IMG_OK);
        if (bits == 1) {
            dib.replaceWith(imagelib::DibBinarizer::Apply(dib, flag));
            return static_cast<int>(IMG_OK);
        }
        return imagelib::ThroughPix(dib, [&](PIX* pix, PixPtr* out) {
            return PixTransforms::ChangeDepth(pix, bits == 24 ? 32 : bits, flag, out);
        });
    });
}

int ImageWrapper::invert_bitmap(int handle) {
    return imagelib::WithBitmap(handle, [](Dib& dib) {
        // In place, so raw pointers stay valid; row padding is left as it is.
        const std::size_t full = static_cast<std::size_t>(dib.width()) * dib.bits() / 8;
        const int spareBits = static_cast<int>(static_cast<std::size_t>(dib.width()) * dib.bits() % 8);
        const auto lastMask = static_cast<BYTE>(0xFF << (8 - spareBits));
        for (LONG y = 0; y < dib.height(); ++y) {
            BYTE* row = dib.topRow(y);
            for (std::size_t i = 0; i < full; ++i) row[i] = static_cast<BYTE>(~row[i]);
            if (spareBits != 0) row[full] ^= lastMask;
        }
        return static_cast<int>(IMG_OK);
    });
}

int ImageWrapper::crop_bitmap(int handle, int left, int top, int right, int bottom) {
    return imagelib::WithBitmap(handle, [&](Dib& dib) {
        // The four values are the widths cut from each side; negative ones cut nothing.
        const long long x0 = std::max(left, 0);
        const long long y0 = std::max(top, 0);
        const long long x1 = static_cast<long long>(dib.width()) - std::max(right, 0);
        const long long y1 = static_cast<long long>(dib.height()) - std::max(bottom, 0);
        if (x1 <= x0 || y1 <= y0) return static_cast<int>(IMG_BAD_ARGUMENT);
        if (x0 == 0 && y0 == 0 && x1 == dib.width() && y1 == dib.height()) return static_cast<int>(IMG_OK);
        return imagelib::ThroughPix(dib, [&](PIX* pix, PixPtr* out) {
            return PixTransforms::Crop(pix, static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1),
                                       static_cast<int>(y1), out);
        });
    });
}

int ImageWrapper::bitmap_info(int handle, BITMAPINFOHEADER* out) {
    if (!out) return IMG_BAD_ARGUMENT;
    return imagelib::WithBitmap(handle, [&](Dib& dib) {
        *out = *dib.header();
        return static_cast<int>(IMG_OK);
    });
}

int ImageWrapper::set_resolution(int handle, int x, int y) {
    return imagelib::WithBitmap(handle, [&](Dib& dib) {
        if (x < 0 || y < 0) return static_cast<int>(IMG_BAD_ARGUMENT);
        dib.header()->biXPelsPerMeter = x;
        dib.header()->biYPelsPerMeter = y;
        return static_cast<int>(IMG_OK);
    });
}

int ImageWrapper::resize_bitmap(int handle, int width, int height, ResizeQuality quality) {
    return imagelib::WithBitmap(handle, [&](Dib& dib) {
        if (!Dib::Fits(width, height, dib.bits())) return static_cast<int>(IMG_BAD_ARGUMENT);
        if (quality < RESIZE_QUALITY_FAST || quality > RESIZE_QUALITY_BEST) return static_cast<int>(IMG_BAD_ARGUMENT);
        if (width == dib.width() && height == dib.height()) return static_cast<int>(IMG_OK);
        return imagelib::ThroughPix(
            dib, [&](PIX* pix, PixPtr* out) { return PixTransforms::Resize(pix, width, height, quality, out); });
    });
}

int ImageWrapper::rotate_bitmap(int handle, double degrees) {
    return imagelib::WithBitmap(handle, [&](Dib& dib) {
        if (!std::isfinite(degrees)) return static_cast<int>(IMG_BAD_ARGUMENT);
        double rest = 0.0;
        const int quarters = imagelib::QuarterTurn::Split(degrees, &rest);
        if (quarters != 0) dib.replaceWith(imagelib::QuarterTurn::Apply(dib, quarters));
        if (rest == 0.0) return static_cast<int>(IMG_OK);
        if (dib.bits() == 8 || dib.bits() == 24) {
            // Grey and colour pages turn straight on the DIB (bilinear).
            LONG grownWidth = 0, grownHeight = 0;
            imagelib::FineRotation::GrownSize(dib.width(), dib.height(), rest, &grownWidth, &grownHeight);
            if (!Dib::Fits(grownWidth, grownHeight, dib.bits())) return static_cast<int>(IMG_BAD_ARGUMENT);
            dib.replaceWith(imagelib::FineRotation::Apply(dib, rest));
            return static_cast<int>(IMG_OK);
        }
        return imagelib::ThroughPix(dib, [&](PIX* pix, PixPtr* out) { return PixTransforms::Rotate(pix, rest, out); });
    });
}

void ImageWrapper::delete_bitmap(int handle) { BitmapTable::Instance().remove(handle); }

int ImageWrapper::create_handle_from_scratch(int width, int height, int bits) {
    if (bits != 1 && bits != 8 && bits != 24) return IMG_UNSUPPORTED_COLOR;
    if (!Dib::Fits(width, height, static_cast<WORD>(bits))) return IMG_BAD_ARGUMENT;
    try {
        return imagelib::AddToTable(Dib::Create(width, height, static_cast<WORD>(bits)));
    } catch (const std::bad_alloc&) {
        return IMG_OUT_OF_MEMORY;
    }
}

int ImageWrapper::create_handle_from_dib(BITMAPINFOHEADER* dib) {
    try {
        Dib copy;
        const int status = imagelib::DibImporter::Import(dib, &copy);
        if (status < 0) return status;
        return imagelib::AddToTable(std::move(copy));
    } catch (const std::bad_alloc&) {
        return IMG_OUT_OF_MEMORY;
    }
}

BITMAPINFOHEADER* ImageWrapper::get_raw_dib(int handle) {
    const auto entry = BitmapTable::Instance().find(handle);
    if (!entry) return nullptr;
    std::lock_guard lock(entry->mutex);
    return entry->dib.empty() ? nullptr : entry->dib.header();
}

int ImageWrapper::enlarge_canvas(int handle, int left, int top, int right, int bottom) {
    return imagelib::WithBitmap(handle, [&](Dib& dib) {
        if (left < 0 || top < 0 || right < 0 || bottom < 0) return static_cast<int>(IMG_BAD_ARGUMENT);
        const long long w = static_cast<long long>(dib.width()) + left + right;
        const long long h = static_cast<long long>(dib.height()) + top + bottom;
        if (!Dib::Fits(w, h, dib.bits())) return static_cast<int>(IMG_BAD_ARGUMENT);
        if (w == dib.width() && h == dib.height()) return static_cast<int>(IMG_OK);
        return imagelib::ThroughPix(
            dib, [&](PIX* pix, PixPtr* out) { return PixTransforms::AddMargins(pix, left, top, right, bottom, out); });
    });
}

Pix* imagelib::CopyPageToPix(int handle) {
    PIX* copy = nullptr;
    WithBitmap(handle, [&](Dib& dib) {
        copy = DibPixConverter::ToPix(dib).release();
        return copy ? static_cast<int>(IMG_OK) : static_cast<int>(IMG_OUT_OF_MEMORY);
    });
    return copy;
}

int imagelib::RotatePageFilled(int handle, double degrees, std::uint32_t fill) {
    return WithBitmap(handle, [&](Dib& dib) {
        if (!std::isfinite(degrees) || std::abs(degrees) > 45.0) return static_cast<int>(IMG_BAD_ARGUMENT);
        if (degrees == 0.0) return static_cast<int>(IMG_OK);
        LONG grownWidth = 0, grownHeight = 0;
        FineRotation::GrownSize(dib.width(), dib.height(), degrees, &grownWidth, &grownHeight);
        if (!Dib::Fits(grownWidth, grownHeight, dib.bits())) return static_cast<int>(IMG_BAD_ARGUMENT);
        if (dib.bits() == 8 || dib.bits() == 24) {
            dib.replaceWith(FineRotation::Apply(dib, degrees, fill));
            return static_cast<int>(IMG_OK);
        }
        return ThroughPix(dib, [&](PIX* pix, PixPtr* out) {
            const double radians = degrees * std::numbers::pi / 180.0;
            PIX* turned =
                pixRotate(pix, static_cast<l_float32>(radians), L_ROTATE_SHEAR,
                          fill == 0 ? L_BRING_IN_BLACK : L_BRING_IN_WHITE, pixGetWidth(pix), pixGetHeight(pix));
            if (!turned) return static_cast<int>(IMG_OUT_OF_MEMORY);
            out->reset(turned);
            return static_cast<int>(IMG_OK);
        });
    });
}
