// Helpers for the tone process tests: pages painted in code, zones, the
// page's status messages, and a process created the way a host creates it.
#pragma once

#include "framework/CZRException.h"
#include "host/CZRDocument.h"
#include "image/PixelImage.h"
#include "platform/com/ErrorInfo.h"
#include "platform/registry/Registry.h"
#include "tests/support/ProcessFixture.h"
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace tone_test {

// A one-page document whose page is `width` x `height` at `bits`, every pixel
// grey(x, y) (1 bit: nonzero = white), at `dpi`.
inline CComPtr<CZRDocument> Page(int width, int height, int bits, const std::function<int(int, int)>& grey,
                                 int dpi = 300) {
    CComPtr<CZRDocument> document = MakeDocument(width, height, bits);
    const int handle = document->Pages()[0]->Image()->Handle();
    ImageWrapper::set_resolution(handle, dpi, dpi);
    PixelImage pixels(ImageWrapper::get_raw_dib(handle));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) pixels.setPixel(x, y, static_cast<std::uint8_t>(grey(x, y)));
    return document;
}

inline int Handle(CZRDocument* document) { return document->Pages()[0]->Image()->Handle(); }
inline BITMAPINFOHEADER* Header(CZRDocument* document) { return ImageWrapper::get_raw_dib(Handle(document)); }

// The page's pixel rows, for before/after comparisons.
inline std::vector<BYTE> Rows(CZRDocument* document) {
    const BITMAPINFOHEADER* dib = Header(document);
    const BYTE* bits = dib::Bits(dib);
    return {bits, bits + dib::Stride(dib->biWidth, dib->biBitCount) * static_cast<std::size_t>(dib->biHeight)};
}

// Texts of the status messages on the document's page.
inline std::vector<std::string> StatusTexts(CZRDocument* document) {
    std::vector<std::string> texts;
    for (const PostedMessage& message : PostedMessages(document->Pages()[0])) texts.push_back(message.text);
    return texts;
}

// The shared process fixture with zones, property reads and runs on a document's page.
template <class Process>
class ToneFixture : public ::ProcessFixture<Process> {
protected:
    CComVariant Get(const char16_t* key) {
        CComVariant value;
        CComBSTR name(key);
        EXPECT_EQ(this->process_->get_Properties(name, &value), S_OK);
        return value;
    }
    void AddZone(LONG left, LONG top, LONG width, LONG height) {
        CComPtr<ZRZoneManager> zones;
        ASSERT_EQ(this->process_->GetZoneManager(&zones), S_OK);
        ASSERT_TRUE(zones);
        CComPtr<IZRZone> zone;
        ASSERT_EQ(zones->CreateZone(&zone), S_OK);
        zone->SetRect(ZONE_UNITS_PIXELS, left, top, width, height);
    }
    using ::ProcessFixture<Process>::Run;
    HRESULT Run(CZRDocument* document, VARIANT_BOOL* result = nullptr) {
        return Run(static_cast<IZRPage*>(document->Pages()[0]), result);
    }
};

}  // namespace tone_test
