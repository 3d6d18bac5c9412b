// The largest page a reader will decode: each side at most 65 535 pixels and
// at most a settable number of pixels in all (400 million unless changed).
// Readers check a file's declared size here before allocating anything, so a
// small file that declares a huge page is refused as too large. O(1).
#pragma once

#include <cstdint>
#include <string>

namespace imagelib {

class PageLimits {
public:
    static constexpr std::uint64_t kDefaultMaxPixels = 400'000'000;
    static constexpr long long kMaxSide = 65535;

    // 0 restores the default. Applies to every reader in the process.
    static void SetMaxPixels(std::uint64_t pixels);
    static std::uint64_t MaxPixels();
    // IMG_OK, IMG_BAD_FILE_FORMAT for an empty page, or IMG_PAGE_TOO_LARGE with
    // the reason in *cause.
    static int Check(long long width, long long height, std::string* cause);
};

}  // namespace imagelib
