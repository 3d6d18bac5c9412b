// Page sizes and layouts: declared sizes beyond the limits are refused as too
// large before decoding; tiled TIFFs, other sample layouts and tiny pages
// read back pixel for pixel.
#include "HostileFiles.h"

#include <tiffio.h>
#include <zlib.h>

#include <tuple>

using namespace imagelib_test;

namespace {

// Writes the pattern page with libtiff in tiles of 16 x 16.
void WriteTiledTiff(const std::string& file, int width, int height, int bits, std::uint16_t compression) {
    TIFF* tif = TIFFOpen(file.c_str(), "w");
    ASSERT_NE(tif, nullptr);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bits == 1 ? 1 : 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, bits == 24 ? 3 : 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC,
                 bits == 1   ? PHOTOMETRIC_MINISWHITE
                 : bits == 8 ? PHOTOMETRIC_MINISBLACK
                             : PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
    TIFFSetField(tif, TIFFTAG_TILEWIDTH, 16);
    TIFFSetField(tif, TIFFTAG_TILELENGTH, 16);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, 200.0f);
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, 200.0f);
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    std::vector<std::uint8_t> tile(static_cast<std::size_t>(TIFFTileSize(tif)));
    const std::size_t rowBytes = static_cast<std::size_t>(TIFFTileRowSize(tif));
    for (int ty = 0; ty < height; ty += 16) {
        for (int tx = 0; tx < width; tx += 16) {
            std::fill(tile.begin(), tile.end(), 0);
            for (int y = ty; y < std::min(height, ty + 16); ++y) {
                std::uint8_t* row = tile.data() + static_cast<std::size_t>(y - ty) * rowBytes;
                for (int x = tx; x < std::min(width, tx + 16); ++x) {
                    const std::uint32_t v = PatternValue(bits, x, y);
                    const int i = x - tx;
                    if (bits == 1) {
                        if (!v) row[i / 8] |= static_cast<std::uint8_t>(0x80 >> (i % 8));  // 1 = black
                    } else if (bits == 8) {
                        row[i] = static_cast<std::uint8_t>(v);
                    } else {
                        row[3 * i] = static_cast<std::uint8_t>(v >> 16);
                        row[3 * i + 1] = static_cast<std::uint8_t>(v >> 8);
                        row[3 * i + 2] = static_cast<std::uint8_t>(v);
                    }
                }
            }
            ASSERT_GE(
                TIFFWriteTile(tif, tile.data(), static_cast<std::uint32_t>(tx), static_cast<std::uint32_t>(ty), 0, 0),
                0);
        }
    }
    TIFFClose(tif);
}

void ExpectPattern(const Page& page, int width, int height, int bits, const std::string& what) {
    ASSERT_GE(page.handle(), 0) << what;
    ASSERT_EQ(std::tuple(page.width(), page.height(), page.bits()), std::tuple(width, height, bits)) << what;
    int wrong = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) wrong += Get(page.dib(), x, y) != PatternValue(bits, x, y);
    EXPECT_EQ(wrong, 0) << what;
}

void FixPngCrc(std::string& png, std::size_t chunk) {
    const std::uint32_t length = static_cast<std::uint32_t>(static_cast<unsigned char>(png[chunk])) << 24 |
                                 static_cast<std::uint32_t>(static_cast<unsigned char>(png[chunk + 1])) << 16 |
                                 static_cast<std::uint32_t>(static_cast<unsigned char>(png[chunk + 2])) << 8 |
                                 static_cast<unsigned char>(png[chunk + 3]);
    const auto* data = reinterpret_cast<const Bytef*>(png.data() + chunk + 4);
    const uLong crc = crc32(0, data, length + 4);
    for (int i = 0; i < 4; ++i)
        png[chunk + 8 + length + static_cast<std::size_t>(i)] = static_cast<char>(crc >> (24 - 8 * i));
}

void PutBigEndian(std::string& b, std::size_t at, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * (bytes - 1 - i)));
}

}  // namespace

class PageSizeLimits : public FileTest {
protected:
    void TearDown() override {
        imagefile::SetMaxPixels(0);
        FileTest::TearDown();
    }
};

TEST_F(PageSizeLimits, DeclaredHugePagesAreTooLargeNotDamaged) {
    Page small(MakePattern(40, 30, 8));
    ASSERT_EQ(imagefile::SavePages(path("small.png"), {small.handle()}, ImageFileFormat::Png), IMG_OK);
    ASSERT_EQ(imagefile::SavePages(path("small.jpg"), {small.handle()}, ImageFileFormat::Jpeg), IMG_OK);
    // The same small files, declaring 30 000 x 30 000 grey pixels.
    std::string png = ReadBytes(path("small.png"));
    PutBigEndian(png, 16, 30000, 4);
    PutBigEndian(png, 20, 30000, 4);
    FixPngCrc(png, 8);
    std::string jpeg = ReadBytes(path("small.jpg"));
    const std::size_t sof = jpeg.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    PutBigEndian(jpeg, sof + 5, 30000, 2);
    PutBigEndian(jpeg, sof + 7, 30000, 2);
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"huge.tif", DeclaredTiff(100000, 100000, 1, 1, COMPRESSION_NONE)},
        {"deflate.tif", DeclaredTiff(46000, 46000, 8, 1, COMPRESSION_ADOBE_DEFLATE)},
        {"wide.tif", DeclaredTiff(70000, 2, 8, 1, COMPRESSION_NONE)},
        {"many-samples.tif", DeclaredTiff(1000, 1000, 16, 2000, COMPRESSION_NONE)},
        {"huge.png", png},
        {"huge.jpg", jpeg},
    };
    for (const Case& c : cases) {
        WriteBytes(path(c.name), c.bytes);
        EXPECT_LT(c.bytes.size(), 2000u) << c.name;
        imagefile::PageReader reader;
        const bool tooLarge = std::string(c.name) != "many-samples.tif";
        const int expected = tooLarge ? IMG_PAGE_TOO_LARGE : IMG_BAD_FILE_FORMAT;
        EXPECT_EQ(reader.open(path(c.name)), expected) << c.name << ": " << reader.error();
        EXPECT_NE(reader.error().find(tooLarge ? "too large" : "2000 samples"), std::string::npos)
            << c.name << ": " << reader.error();
        EXPECT_EQ(imagefile::LoadPage(path(c.name), 0), expected) << c.name;
    }
}

TEST_F(PageSizeLimits, PixelBudgetIsSettable) {
    EXPECT_EQ(imagefile::MaxPixels(), 400'000'000u);
    Page page(MakePattern(50, 40, 24));  // 2000 pixels
    for (const auto format : {ImageFileFormat::Tiff, ImageFileFormat::Png, ImageFileFormat::Jpeg}) {
        const std::string file = path("page" + std::to_string(static_cast<int>(format)));
        ASSERT_EQ(imagefile::SavePages(file, {page.handle()}, format), IMG_OK);
        imagefile::SetMaxPixels(1999);
        EXPECT_EQ(imagefile::CountPages(file), IMG_PAGE_TOO_LARGE);
        imagefile::SetMaxPixels(2000);
        EXPECT_EQ(imagefile::CountPages(file), 1);
        imagefile::SetMaxPixels(0);
        EXPECT_EQ(imagefile::MaxPixels(), 400'000'000u);
    }
}

class PageLayouts : public FileTest {};

TEST_F(PageLayouts, TiledTiffsReadPixelForPixel) {
    struct Case {
        int bits;
        std::uint16_t compression;
    };
    const Case cases[] = {{1, COMPRESSION_NONE}, {1, COMPRESSION_CCITTFAX4},     {8, COMPRESSION_NONE},
                          {8, COMPRESSION_LZW},  {8, COMPRESSION_ADOBE_DEFLATE}, {24, COMPRESSION_NONE},
                          {24, COMPRESSION_LZW}};
    for (const Case& c : cases) {
        const std::string what = std::to_string(c.bits) + " bits, compression " + std::to_string(c.compression);
        WriteTiledTiff(path("tiled.tif"), 37, 29, c.bits, c.compression);
        std::string error;
        Page page(imagefile::LoadPage(path("tiled.tif"), 0, &error));
        ASSERT_GE(page.handle(), 0) << what << ": " << error;
        ExpectPattern(page, 37, 29, c.bits, what);
        EXPECT_EQ(page.dib()->biXPelsPerMeter, 200) << what;
    }
}

TEST_F(PageLayouts, SeparatePlanesAndCmykReadThroughTheGeneralPath) {
    // Colour in separate planes.
    TIFF* tif = TIFFOpen(path("planes.tif").c_str(), "w");
    ASSERT_NE(tif, nullptr);
    const int width = 21, height = 7;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_SEPARATE);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 3);
    std::vector<std::uint8_t> row(width);
    for (std::uint16_t plane = 0; plane < 3; ++plane) {
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x)
                row[x] = static_cast<std::uint8_t>(PatternValue(24, x, y) >> (16 - 8 * plane));
            ASSERT_GE(TIFFWriteScanline(tif, row.data(), static_cast<std::uint32_t>(y), plane), 0);
        }
    }
    TIFFClose(tif);
    Page planes(imagefile::LoadPage(path("planes.tif"), 0));
    ExpectPattern(planes, width, height, 24, "separate planes");

    // CMYK: ink 0 is white, full black ink is black, full cyan is cyan.
    tif = TIFFOpen(path("cmyk.tif").c_str(), "w");
    ASSERT_NE(tif, nullptr);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 3);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 1);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 4);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_SEPARATED);
    TIFFSetField(tif, TIFFTAG_INKSET, INKSET_CMYK);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    std::uint8_t inks[12] = {0, 0, 0, 0, 0, 0, 0, 255, 255, 0, 0, 0};
    ASSERT_GE(TIFFWriteScanline(tif, inks, 0, 0), 0);
    TIFFClose(tif);
    Page cmyk(imagefile::LoadPage(path("cmyk.tif"), 0));
    ASSERT_GE(cmyk.handle(), 0);
    EXPECT_EQ(cmyk.bits(), 24);
    EXPECT_EQ(Get(cmyk.dib(), 0, 0), 0xFFFFFFu);
    EXPECT_EQ(Get(cmyk.dib(), 1, 0), 0x000000u);
    EXPECT_EQ(Get(cmyk.dib(), 2, 0), 0x00FFFFu);
}

TEST_F(PageLayouts, TinyPagesRoundTripExactly) {
    const std::pair<int, int> sizes[] = {{1, 1}, {2, 2}, {3, 3}, {1, 500}, {500, 1}, {9, 2}};
    for (const auto& [width, height] : sizes) {
        for (const int bits : {1, 8, 24}) {
            Page page(MakePattern(width, height, bits));
            ImageWrapper::set_resolution(page.handle(), 300, 300);
            for (const auto format : {ImageFileFormat::Tiff, ImageFileFormat::Png, ImageFileFormat::Jpeg}) {
                const std::string what = std::to_string(width) + "x" + std::to_string(height) + " " +
                                         std::to_string(bits) + " bits, format " +
                                         std::to_string(static_cast<int>(format));
                const std::string file = path("tiny");
                std::string error;
                ASSERT_EQ(imagefile::SavePages(file, {page.handle()}, format, &error), IMG_OK) << what << error;
                Page loaded(imagefile::LoadPage(file, 0, &error));
                ASSERT_GE(loaded.handle(), 0) << what << ": " << error;
                EXPECT_EQ(std::tuple(loaded.width(), loaded.height()), std::tuple(width, height)) << what;
                EXPECT_EQ(loaded.dib()->biXPelsPerMeter, 300) << what;
                if (format != ImageFileFormat::Jpeg) ExpectPattern(loaded, width, height, bits, what);
            }
        }
    }
}
