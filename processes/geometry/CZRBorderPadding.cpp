// Border padding: progress 5 once the image is there, the canvas growth
// between 5 and 85, then 100.
#include "processes/geometry/CZRBorderPadding.h"

#include "framework/CZRException.h"
#include "image/CheckStatus.h"
#include "platform/imagelib/ImageWrapper.h"
#include "resources/MessageIds.h"

namespace {
constexpr PropertyDecl kBorderPaddingProperties[] = {
    {"CHANGELEFT", VT_I2, 0, nullptr, "white pixels added on the left (0 or more)"},
    {"CHANGERIGHT", VT_I2, 0, nullptr, "white pixels added on the right (0 or more)"},
    {"CHANGETOP", VT_I2, 0, nullptr, "white pixels added at the top (0 or more)"},
    {"CHANGEBOTTOM", VT_I2, 0, nullptr, "white pixels added at the bottom (0 or more)"},
    {"CROPBLACK", VT_I2, 0, nullptr, "kept for saved jobs; no effect"},
    {"CROPWHITE", VT_I2, 0, nullptr, "kept for saved jobs; no effect"},
    {"PROP_SILENT", VT_BOOL, 0, nullptr, "kept for saved jobs; no effect"},
};
}  // namespace

std::span<const PropertyDecl> CZRBorderPadding::Properties() { return kBorderPaddingProperties; }

HRESULT CZRBorderPadding::Process(IZRPage* page, VARIANT_BOOL* result) {
    return RunProcess(page, result, [&](IZRImage*, int handle) {
        reportProgress(5);
        pushRange(5, 85);
        // The low 16 bits of each value, as a signed number, whatever its type.
        const int top = ReadProperty("CHANGETOP").iVal;
        const int bottom = ReadProperty("CHANGEBOTTOM").iVal;
        const int left = ReadProperty("CHANGELEFT").iVal;
        const int right = ReadProperty("CHANGERIGHT").iVal;
        // Read though unused: a bag without them fails the page.
        ReadProperty("CROPBLACK");
        ReadProperty("CROPWHITE");
        ReadProperty("PROP_SILENT");
        // An image without a bitmap has no canvas to grow.
        if (handle < 0) return S_OK;
        const int status = ImageWrapper::enlarge_canvas(handle, left, top, right, bottom);
        // A canvas the library refused must not pass as a padded page:
        // negative margins are a bad setting, others a page too large.
        if (status == IMG_BAD_ARGUMENT) {
            const bool negative = left < 0 || top < 0 || right < 0 || bottom < 0;
            throw CZRException(static_cast<UINT>(negative ? IDS_INVALID_PARAMETER : IDS_INVALID_DIMENSIONS));
        }
        CheckStatus(status);
        replaceRange(85, 100);
        popRange();
        return S_OK;
    });
}
