// Page size limits shared by every reader; see the header.
#include "platform/imagelib/PageLimits.h"

#include "platform/imagelib/ImageWrapper.h"

#include <atomic>

namespace imagelib {
namespace {
std::atomic<std::uint64_t> maxPixels{PageLimits::kDefaultMaxPixels};
}  // namespace

void PageLimits::SetMaxPixels(std::uint64_t pixels) {
    maxPixels.store(pixels == 0 ? kDefaultMaxPixels : pixels, std::memory_order_relaxed);
}

std::uint64_t PageLimits::MaxPixels() { return maxPixels.load(std::memory_order_relaxed); }

int PageLimits::Check(long long width, long long height, std::string* cause) {
    const std::string size = std::to_string(width) + " x " + std::to_string(height) + " pixels";
    if (width < 1 || height < 1) {
        if (cause) *cause = "empty page (" + size + ")";
        return IMG_BAD_FILE_FORMAT;
    }
    if (width > kMaxSide || height > kMaxSide) {
        if (cause) *cause = "page too large: " + size + " (at most " + std::to_string(kMaxSide) + " a side)";
        return IMG_PAGE_TOO_LARGE;
    }
    const auto pixels = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    if (pixels > MaxPixels()) {
        if (cause)
            *cause = "page too large: " + size + " (" + std::to_string(pixels) + " pixels, the limit is " +
                     std::to_string(MaxPixels()) + ")";
        return IMG_PAGE_TOO_LARGE;
    }
    return IMG_OK;
}

}  // namespace imagelib
