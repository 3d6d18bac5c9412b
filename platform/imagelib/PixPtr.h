// Owning pointer for Leptonica images, so every early return frees its Pix.
// Header only; no cost beyond pixDestroy.
#pragma once

#include <leptonica/allheaders.h>

#include <memory>

namespace imagelib {

struct PixDeleter {
    void operator()(PIX* pix) const { pixDestroy(&pix); }
};
using PixPtr = std::unique_ptr<PIX, PixDeleter>;

}  // namespace imagelib
