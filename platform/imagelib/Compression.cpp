// Reads the user's compression choice (--compression) into the settings the
// page writers follow; see ImageWrapper.h for the words. O(length of the text).
#include "platform/imagelib/ImageWrapper.h"

#include <cctype>
#include <charconv>
#include <string_view>

namespace imagefile {
namespace {

std::string Trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

// A whole number from `first` to `last` with nothing around it, else -1.
int Number(std::string_view digits, int first, int last) {
    int value = -1;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc() || end != digits.data() + digits.size() || value < first || value > last) return -1;
    return value;
}

// Applies one choice to `c`; false when the word is none of ours.
bool Apply(const std::string& choice, Compression* c) {
    if (choice == "fast") {
        const int input = c->inputJpegQuality;
        *c = Compression{};
        c->inputJpegQuality = input;
        return true;
    }
    if (choice == "best") {
        c->pngLevel = 9;
        c->pngRunLength = false;
        c->tiffBilevel = TiffCompression::G4;
        c->tiffTone = TiffCompression::Deflate;
        c->tiffDeflateLevel = 9;
        c->jpegQuality = 0;
        c->jpegOptimize = true;
        return true;
    }
    if (choice == "none") {
        c->pngLevel = 0;
        c->pngRunLength = false;
        c->tiffBilevel = c->tiffTone = TiffCompression::None;
        return true;
    }
    if (choice == "lzw") {
        c->tiffBilevel = c->tiffTone = TiffCompression::Lzw;
        return true;
    }
    if (choice == "g4") {
        c->tiffBilevel = TiffCompression::G4;
        return true;
    }
    const std::string_view text(choice);
    if (text == "deflate" || text.starts_with("deflate:")) {
        const int level = text == "deflate" ? 6 : Number(text.substr(8), 1, 9);
        if (level < 0) return false;
        c->pngLevel = level;
        c->pngRunLength = false;
        c->tiffBilevel = c->tiffTone = TiffCompression::Deflate;
        c->tiffDeflateLevel = level;
        return true;
    }
    if (text.starts_with("jpeg:")) {
        const int quality = Number(text.substr(5), 1, 100);
        if (quality < 0) return false;
        c->jpegQuality = quality;
        return true;
    }
    return false;
}

}  // namespace

int ParseCompression(const std::string& text, Compression* out, std::string* error) {
    Compression result = *out;
    std::string_view rest(text);
    while (true) {
        const std::size_t comma = rest.find(',');
        const std::string choice = Trimmed(rest.substr(0, comma));
        if (!Apply(choice, &result)) {
            if (error)
                *error = "unknown compression '" + (choice.empty() ? text : choice) +
                         "' (use fast, best, none, lzw, deflate, deflate:1-9, g4 or jpeg:1-100)";
            return IMG_BAD_ARGUMENT;
        }
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    *out = result;
    return IMG_OK;
}

}  // namespace imagefile
