// The module's English message table, looked up by id. O(log n).
#include "resources/StringTable.h"

namespace {
constexpr StringTableEntry kEnglish[] = {
    {2001, u"Unknown error in %s."},
    {2154, u"Page Removal has removed page %d."},
    {2155, u"Removed page because its size, %d bytes, was below the threshold."},
    {2156, u"Failed to retrieve file info."},
    {2157, u"Unsupported image color."},
    {2158, u"Error accessing image"},
    {2159, u"Out of memory"},
    {2160, u"Unknown internal error"},
    {2163, u"The zone is outside the boundaries of the image."},
    {2164, u"Zone too small."},
    {2165, u"Invalid image dimensions"},
    {2166, u"Invalid parameter."},
    {2167, u"Invalid percentage"},
    {2169, u"Invalid quality selection"},
    {2170, u"Error saving file"},
    {2172, u"Invalid DPI"},
    {2173, u"Error accessing file"},
    {2174, u"Deskew angle out of range"},
    {2176, u"Invalid deskew mode"},
    {2178, u"Invalid image"},
    {2219, u"Black and white images are not valid for this process."},
    {2221, u"Only black and white images are supported for this process."},
    {2223, u"The current page has a size of %d bytes."},
    {2301, u"The image must be 1 bpp (black and white)."},
    {2305, u"Image to smooth must be 1-bit (black and white)."},
};
}  // namespace

const StringTableEntry* EnglishStringTable(std::size_t* count) {
    *count = sizeof(kEnglish) / sizeof(kEnglish[0]);
    return kEnglish;
}
