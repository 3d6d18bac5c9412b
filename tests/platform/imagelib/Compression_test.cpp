// Output compression: every choice gives back the exact pixels of PNG and TIFF
// pages of each depth (read by us and by Leptonica), each page kind of a TIFF
// gets its own scheme, JPEG pages keep the input's quality, bad choices are
// refused.
#include "HostileFiles.h"

#include <leptonica/allheaders.h>
#include <tiffio.h>
// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include <filesystem>
#include <random>

using namespace imagelib_test;
namespace fs = std::filesystem;

namespace {

// A scan-like page: white paper, dark bars like lines of text, a band of
// grain and a smooth ramp, so every coder meets runs, matches and noise.
// 517 pixels wide: 1-bit rows end inside a byte and every row is padded.
int MakeScan(int bits, int width = 517, int height = 389) {
    const int handle = ImageWrapper::create_handle_from_scratch(width, height, bits);
    BITMAPINFOHEADER* h = ImageWrapper::get_raw_dib(handle);
    std::mt19937 random(static_cast<unsigned>(bits));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint32_t v = White(bits);
            const bool ink = (y / 9) % 3 == 1 && (x / 5) % 7 != 3 && x > 20 && x < width - 20;
            if (y > height / 2 && y < height / 2 + 40) {
                v = bits == 1 ? random() & 1u : bits == 8 ? random() & 0xFFu : random() & 0xFFFFFFu;
            } else if (y >= height - 60) {
                v = bits == 1 ? (x + y) % 2u : bits == 8 ? static_cast<std::uint32_t>(x % 256) : x * 0x010203u;
            } else if (ink) {
                v = bits == 24 ? 0x203040u : 0u;
            }
            Set(h, x, y, v & White(bits));
        }
    ImageWrapper::set_resolution(handle, 300, 300);
    return handle;
}

imagefile::Compression Parsed(const std::string& text) {
    imagefile::Compression c;
    std::string error;
    EXPECT_EQ(imagefile::ParseCompression(text, &c, &error), IMG_OK) << error;
    return c;
}

// The compression tag of every directory of a TIFF file, and whether the
// grey/colour pages hold more than one row per strip.
struct TiffLayout {
    std::vector<int> schemes;
    std::vector<std::uint32_t> rowsPerStrip;
};

TiffLayout ReadLayout(const std::string& file) {
    TiffLayout layout;
    TIFF* tif = TIFFOpen(file.c_str(), "r");
    if (!tif) return layout;
    do {
        std::uint16_t scheme = 0;
        std::uint32_t rows = 0;
        TIFFGetField(tif, TIFFTAG_COMPRESSION, &scheme);
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rows);
        layout.schemes.push_back(scheme);
        layout.rowsPerStrip.push_back(rows);
    } while (TIFFReadDirectory(tif));
    TIFFClose(tif);
    return layout;
}

// Leptonica's reading of page `index`, pixel for pixel against `page`
// (1-bit and grey as grey levels, colour as RGB).
int LeptonicaMismatches(const std::string& file, int index, const Page& page) {
    Pix* read = pixReadTiff(file.c_str(), index);
    if (!read && index == 0) read = pixRead(file.c_str());
    if (!read) return -1;
    const bool colour = page.bits() == 24;
    Pix* plain = colour ? pixConvertTo32(read) : pixConvertTo8(read, 0);
    pixDestroy(&read);
    int wrong = 0;
    if (!plain || pixGetWidth(plain) != page.width() || pixGetHeight(plain) != page.height()) wrong = -1;
    for (int y = 0; wrong >= 0 && y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            l_uint32 value = 0;
            pixGetPixel(plain, x, y, &value);
            const std::uint32_t ours = Get(page.dib(), x, y);
            const std::uint32_t expected = page.bits() == 1 ? (ours ? 255u : 0u) : ours;
            const std::uint32_t theirs = colour ? value >> 8 : value;
            if (theirs != expected) ++wrong;
        }
    pixDestroy(&plain);
    return wrong;
}

class CompressionTest : public FileTest {};

// ---- choices are read as documented ----

struct ChoiceCase {
    const char* text;
    int pngLevel;
    bool pngRunLength;
    imagefile::TiffCompression bilevel, tone;
    int deflateLevel, jpegQuality;
    bool jpegOptimize;
};

using imagefile::TiffCompression;
const ChoiceCase kChoices[] = {
    {"fast", 1, true, TiffCompression::G4, TiffCompression::Lzw, 6, 0, false},
    {"best", 9, false, TiffCompression::G4, TiffCompression::Deflate, 9, 0, true},
    {"none", 0, false, TiffCompression::None, TiffCompression::None, 6, 0, false},
    {"lzw", 1, true, TiffCompression::Lzw, TiffCompression::Lzw, 6, 0, false},
    {"deflate", 6, false, TiffCompression::Deflate, TiffCompression::Deflate, 6, 0, false},
    {"deflate:2", 2, false, TiffCompression::Deflate, TiffCompression::Deflate, 2, 0, false},
    {"g4", 1, true, TiffCompression::G4, TiffCompression::Lzw, 6, 0, false},
    {"jpeg:35", 1, true, TiffCompression::G4, TiffCompression::Lzw, 6, 35, false},
    {"deflate:3,g4", 3, false, TiffCompression::G4, TiffCompression::Deflate, 3, 0, false},
    {" Best , JPEG:80 ", 9, false, TiffCompression::G4, TiffCompression::Deflate, 9, 80, true},
    {"jpeg:80,fast", 1, true, TiffCompression::G4, TiffCompression::Lzw, 6, 0, false},
    {"none,lzw", 0, false, TiffCompression::Lzw, TiffCompression::Lzw, 6, 0, false},
};

TEST(CompressionChoice, EachWordSetsTheKindsItCovers) {
    for (const ChoiceCase& c : kChoices) {
        SCOPED_TRACE(c.text);
        const imagefile::Compression parsed = Parsed(c.text);
        EXPECT_EQ(parsed.pngLevel, c.pngLevel);
        EXPECT_EQ(parsed.pngRunLength, c.pngRunLength);
        EXPECT_EQ(parsed.tiffBilevel, c.bilevel);
        EXPECT_EQ(parsed.tiffTone, c.tone);
        EXPECT_EQ(parsed.tiffDeflateLevel, c.deflateLevel);
        EXPECT_EQ(parsed.jpegQuality, c.jpegQuality);
        EXPECT_EQ(parsed.jpegOptimize, c.jpegOptimize);
    }
}

TEST(CompressionChoice, BadValuesAreRefusedByName) {
    for (const char* bad : {"", "zip", "fastest", "fast,", ",best", "deflate:0", "deflate:10", "deflate:", "deflate:5x",
                            "jpeg", "jpeg:", "jpeg:0", "jpeg:101", "jpeg:-5", "jpeg: 80", "g3", "lz w"}) {
        SCOPED_TRACE(bad);
        imagefile::Compression c = Parsed("best");
        std::string error;
        EXPECT_EQ(imagefile::ParseCompression(bad, &c, &error), IMG_BAD_ARGUMENT);
        EXPECT_NE(error.find("unknown compression '"), std::string::npos) << error;
        EXPECT_EQ(c.pngLevel, 9) << "a refused value leaves the settings alone";
    }
    std::string error;
    imagefile::Compression c;
    imagefile::ParseCompression("best,deflate:12", &c, &error);
    EXPECT_NE(error.find("'deflate:12'"), std::string::npos) << error;
}

TEST_F(CompressionTest, SettingsOutOfRangeAreRefusedBeforeAnyFile) {
    Page page(MakeScan(8, 40, 30));
    imagefile::Compression settings[4];
    settings[0].pngLevel = 10;
    settings[1].tiffDeflateLevel = 0;
    settings[2].jpegQuality = 101;
    settings[3].tiffTone = TiffCompression::G4;  // G4 codes black and white only
    for (const imagefile::Compression& c : settings) {
        std::string error;
        EXPECT_EQ(imagefile::SavePages(path("bad.tif"), {page.handle()}, ImageFileFormat::Tiff, &error, c),
                  IMG_BAD_ARGUMENT);
        EXPECT_FALSE(fs::exists(path("bad.tif")));
    }
}

// ---- lossless round trips ----

TEST_F(CompressionTest, EveryChoiceGivesBackExactPixelsInPngAndTiff) {
    const char* choices[] = {"fast", "best", "none", "lzw", "deflate", "deflate:1", "g4", "deflate:9,g4"};
    for (const int bits : {1, 8, 24}) {
        Page page(MakeScan(bits));
        for (const char* choice : choices) {
            for (const ImageFileFormat format : {ImageFileFormat::Png, ImageFileFormat::Tiff}) {
                const bool png = format == ImageFileFormat::Png;
                SCOPED_TRACE(std::string(choice) + (png ? " PNG " : " TIFF ") + std::to_string(bits) + "-bit");
                const std::string file = path(std::string("page") + (png ? ".png" : ".tif"));
                std::string error;
                ASSERT_EQ(imagefile::SavePages(file, {page.handle()}, format, &error, Parsed(choice)), IMG_OK) << error;
                Page loaded(imagefile::LoadPage(file, 0, &error));
                ASSERT_GE(loaded.handle(), 0) << error;
                EXPECT_EQ(loaded.bits(), bits);
                EXPECT_EQ(loaded.rows(), page.rows());
                EXPECT_EQ(loaded.dib()->biXPelsPerMeter, 300);
                EXPECT_EQ(LeptonicaMismatches(file, 0, page), 0);
            }
        }
    }
}

TEST_F(CompressionTest, PngLevelsOrderTheSizes) {
    for (const int bits : {1, 8, 24}) {
        SCOPED_TRACE(bits);
        Page page(MakeScan(bits));
        std::uintmax_t size[3] = {};
        const char* choices[] = {"none", "fast", "best"};
        for (int i = 0; i < 3; ++i) {
            ASSERT_EQ(
                imagefile::SavePages(path("p.png"), {page.handle()}, ImageFileFormat::Png, nullptr, Parsed(choices[i])),
                IMG_OK);
            size[i] = fs::file_size(path("p.png"));
        }
        // Stored: every pixel byte is in the file.
        EXPECT_GE(size[0], static_cast<std::uintmax_t>(page.height()) * ((page.width() * bits + 7) / 8));
        EXPECT_LT(size[1], size[0] / 2);
        EXPECT_LE(size[2], size[1]);
    }
}

// ---- TIFF: one scheme per page kind ----

struct TiffCase {
    const char* choice;
    int bilevel, tone;  // libtiff's compression numbers
};

TEST_F(CompressionTest, MultiPageTiffGivesEachPageKindItsScheme) {
    const TiffCase cases[] = {
        {"fast", COMPRESSION_CCITTFAX4, COMPRESSION_LZW},
        {"best", COMPRESSION_CCITTFAX4, COMPRESSION_ADOBE_DEFLATE},
        {"none", COMPRESSION_NONE, COMPRESSION_NONE},
        {"lzw", COMPRESSION_LZW, COMPRESSION_LZW},
        {"deflate", COMPRESSION_ADOBE_DEFLATE, COMPRESSION_ADOBE_DEFLATE},
        {"deflate,g4", COMPRESSION_CCITTFAX4, COMPRESSION_ADOBE_DEFLATE},
        {"none,g4", COMPRESSION_CCITTFAX4, COMPRESSION_NONE},
    };
    Page binary(MakeScan(1)), grey(MakeScan(8)), colour(MakeScan(24)), binary2(MakeScan(1, 300, 200));
    const Page* pages[] = {&binary, &grey, &colour, &binary2};
    for (const TiffCase& c : cases) {
        SCOPED_TRACE(c.choice);
        const std::string file = path("mixed.tif");
        std::string error;
        ASSERT_EQ(imagefile::SavePages(file, {binary.handle(), grey.handle(), colour.handle(), binary2.handle()},
                                       ImageFileFormat::Tiff, &error, Parsed(c.choice)),
                  IMG_OK)
            << error;
        const TiffLayout layout = ReadLayout(file);
        ASSERT_EQ(layout.schemes.size(), 4u);
        EXPECT_EQ(layout.schemes[0], c.bilevel);
        EXPECT_EQ(layout.schemes[1], c.tone);
        EXPECT_EQ(layout.schemes[2], c.tone);
        EXPECT_EQ(layout.schemes[3], c.bilevel);
        // Strips of many rows, not libtiff's default of a few: grey 517-byte
        // rows, colour 1551-byte rows, about 64 KiB a strip.
        EXPECT_EQ(layout.rowsPerStrip[1], 126u);
        EXPECT_EQ(layout.rowsPerStrip[2], 42u);
        for (int i = 0; i < 4; ++i) {
            Page loaded(imagefile::LoadPage(file, i, &error));
            ASSERT_GE(loaded.handle(), 0) << error;
            EXPECT_EQ(loaded.rows(), pages[i]->rows()) << "page " << i + 1;
            EXPECT_EQ(LeptonicaMismatches(file, i, *pages[i]), 0) << "page " << i + 1;
        }
    }
}

// ---- JPEG quality ----

int QualityOf(const std::string& file) {
    imagefile::PageReader reader;
    if (reader.open(file) < 0) return -1;
    return reader.jpegQuality();
}

TEST_F(CompressionTest, JpegQualityIsReadBackFromTheTables) {
    Page page(MakeScan(24));
    for (const int quality : {5, 10, 25, 50, 51, 75, 85, 90, 95, 99, 100}) {
        SCOPED_TRACE(quality);
        imagefile::Compression c;
        c.jpegQuality = quality;
        ASSERT_EQ(imagefile::SavePages(path("q.jpg"), {page.handle()}, ImageFileFormat::Jpeg, nullptr, c), IMG_OK);
        EXPECT_EQ(QualityOf(path("q.jpg")), quality);
    }
    // Written by another program (Leptonica, grey) at a known quality.
    Pix* pix = pixCreate(64, 64, 8);
    pixSetAll(pix);
    for (const int quality : {30, 60, 92}) {
        const std::string file = path("lept" + std::to_string(quality) + ".jpg");
        ASSERT_EQ(pixWriteJpeg(file.c_str(), pix, quality, 0), 0);
        EXPECT_EQ(QualityOf(file), quality);
    }
    pixDestroy(&pix);
    EXPECT_EQ(QualityOf(path("missing.jpg")), -1);
    ASSERT_EQ(imagefile::SavePages(path("p.png"), {page.handle()}, ImageFileFormat::Png), IMG_OK);
    EXPECT_EQ(QualityOf(path("p.png")), 0);
}

TEST_F(CompressionTest, UnusualTablesGiveNoEstimate) {
    // A table of another design: coarse steps for the low frequencies, fine
    // ones for the high (the standard table does the opposite).
    unsigned int reversed[DCTSIZE2];
    for (int i = 0; i < DCTSIZE2; ++i) reversed[i] = static_cast<unsigned>(2 + (DCTSIZE2 - 1 - i) * 3);
    const std::string file = path("odd.jpg");
    FILE* out = std::fopen(file.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, out);
    info.image_width = 16;
    info.image_height = 16;
    info.input_components = 1;
    info.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&info);
    jpeg_add_quant_table(&info, 0, reversed, 100, TRUE);
    jpeg_start_compress(&info, TRUE);
    JSAMPLE row[16] = {};
    for (int y = 0; y < 16; ++y) {
        JSAMPROW rows[1] = {row};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(out);
    EXPECT_EQ(QualityOf(file), 0);
}

TEST_F(CompressionTest, JpegKeepsTheInputsQualityUnlessOneIsChosen) {
    Page page(MakeScan(8));
    struct Case {
        int input, chosen, expected;
    };
    for (const Case c : {Case{62, 0, 62}, Case{0, 0, 90}, Case{62, 80, 80}, Case{97, 0, 97}}) {
        imagefile::Compression settings;
        settings.inputJpegQuality = c.input;
        settings.jpegQuality = c.chosen;
        ASSERT_EQ(imagefile::SavePages(path("out.jpg"), {page.handle()}, ImageFileFormat::Jpeg, nullptr, settings),
                  IMG_OK);
        EXPECT_EQ(QualityOf(path("out.jpg")), c.expected) << c.input << " " << c.chosen;
    }
    // Optimal Huffman tables: the same pixels in fewer bytes.
    imagefile::Compression plain, optimised = Parsed("best");
    plain.jpegQuality = optimised.jpegQuality = 75;
    ASSERT_EQ(imagefile::SavePages(path("plain.jpg"), {page.handle()}, ImageFileFormat::Jpeg, nullptr, plain), IMG_OK);
    ASSERT_EQ(imagefile::SavePages(path("opt.jpg"), {page.handle()}, ImageFileFormat::Jpeg, nullptr, optimised),
              IMG_OK);
    EXPECT_LT(fs::file_size(path("opt.jpg")), fs::file_size(path("plain.jpg")));
    Page a(imagefile::LoadPage(path("plain.jpg"), 0)), b(imagefile::LoadPage(path("opt.jpg"), 0));
    EXPECT_EQ(a.rows(), b.rows());
}

}  // namespace
