// Damaged page files: a truncated or broken multi-page TIFF is refused as a
// whole with the page that is broken, never read as a shorter good file; a
// decoder error fails that page with the decoder's words; nothing reaches
// stderr.
#include "HostileFiles.h"

#include <leptonica/allheaders.h>
#include <tiffio.h>

#include <functional>

using namespace imagelib_test;

namespace {

// Three 1-bit pages of noise-like content, so each page is about a third of the file.
std::string ThreePageTiff(const std::string& file, int bits = 1,
                          const imagefile::Compression& compression = imagefile::Compression{}) {
    Page a(MakePattern(320, 200, bits)), b(MakePattern(320, 200, bits)), c(MakePattern(320, 200, bits));
    ImageWrapper::invert_bitmap(b.handle());
    EXPECT_EQ(
        imagefile::SavePages(file, {a.handle(), b.handle(), c.handle()}, ImageFileFormat::Tiff, nullptr, compression),
        IMG_OK);
    return ReadBytes(file);
}

// Errors and warnings libtiff itself reports while decoding every strip of
// one page (through per-file handlers, so the library's are not involved).
int LibtiffComplaints(const std::string& file, int page) {
    int complaints = 0;
    const auto count = [](TIFF*, void* user, const char*, const char*, va_list) {
        ++*static_cast<int*>(user);
        return 1;
    };
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, count, &complaints);
    TIFFOpenOptionsSetWarningHandlerExtR(options, count, &complaints);
    TIFF* tif = TIFFOpenExt(file.c_str(), "r", options);
    TIFFOpenOptionsFree(options);
    if (!tif) return 1;
    TIFFSetDirectory(tif, static_cast<tdir_t>(page));
    std::vector<char> buffer(static_cast<std::size_t>(TIFFStripSize(tif)));
    for (std::uint32_t s = 0; s < TIFFNumberOfStrips(tif); ++s)
        if (TIFFReadEncodedStrip(tif, s, buffer.data(), -1) < 0) ++complaints;
    TIFFClose(tif);
    return complaints;
}

void Flip(std::string& bytes, std::size_t at, std::size_t count) {
    for (std::size_t i = at; i < at + count && i < bytes.size(); ++i) bytes[i] = static_cast<char>(~bytes[i]);
}

}  // namespace

class DamagedTiff : public FileTest {};

TEST_F(DamagedTiff, BrokenDirectoryChainFailsTheFileNamingThePage) {
    const std::string good = ThreePageTiff(path("good.tif"));
    const std::vector<std::size_t> ifds = DirectoryOffsets(good);
    ASSERT_EQ(ifds.size(), 3u);
    ASSERT_EQ(imagefile::CountPages(path("good.tif")), 3);
    struct Case {
        const char* name;
        std::function<void(std::string&)> damage;
        int page;  // the page the error must name
    };
    const Case cases[] = {
        {"cut at 50%", [](std::string& b) { b.resize(b.size() / 2); }, 2},
        {"cut at 75%", [](std::string& b) { b.resize(b.size() * 3 / 4); }, 3},
        {"cut 100 bytes before the end", [](std::string& b) { b.resize(b.size() - 100); }, 3},
        {"second directory has 0xFFFF entries", [&](std::string& b) { PutU16(b, ifds[1], 0xFFFF); }, 2},
        {"second directory has width 0",
         [&](std::string& b) {
             const std::size_t entry = EntryOffset(b, ifds[1], 256);
             if (U16(b, entry + 2) == 3)
                 PutU16(b, entry + 8, 0);
             else
                 PutU32(b, entry + 8, 0);
         },
         2},
        {"second directory's next offset past the end",
         [&](std::string& b) {
             PutU32(b, ifds[1] + 2 + 12 * std::size_t{U16(b, ifds[1])}, static_cast<std::uint32_t>(b.size() + 4096));
         },
         3},
        {"third page's strip data past the end",
         [&](std::string& b) { PutU32(b, EntryOffset(b, ifds[2], 273) + 8, static_cast<std::uint32_t>(b.size())); }, 3},
    };
    for (const Case& c : cases) {
        std::string bytes = good;
        c.damage(bytes);
        WriteBytes(path("bad.tif"), bytes);
        testing::internal::CaptureStderr();
        std::string error;
        const int count = imagefile::CountPages(path("bad.tif"), &error);
        imagefile::PageReader reader;
        const int opened = reader.open(path("bad.tif"));
        const int firstPage = imagefile::LoadPage(path("bad.tif"), 0);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << c.name;
        EXPECT_EQ(count, IMG_BAD_FILE_FORMAT) << c.name << ": " << error;
        EXPECT_EQ(opened, IMG_BAD_FILE_FORMAT) << c.name;
        EXPECT_EQ(reader.pageCount(), 0) << c.name;
        EXPECT_LT(firstPage, 0) << c.name << ": a damaged file is refused as a whole";
        ImageWrapper::delete_bitmap(firstPage);
        EXPECT_EQ(reader.error().rfind("page " + std::to_string(c.page) + ": ", 0), 0u)
            << c.name << ": " << reader.error();
        EXPECT_NE(error.find("bad.tif: page " + std::to_string(c.page)), std::string::npos) << c.name;
    }
}

TEST_F(DamagedTiff, ByteFlippedG4DataFailsThatPageWithTheDecodersWords) {
    const std::string good = ThreePageTiff(path("good.tif"));
    const std::vector<std::size_t> ifds = DirectoryOffsets(good);
    ASSERT_EQ(ifds.size(), 3u);
    const std::size_t strip = FirstStripOffset(good, ifds[1]);
    const std::size_t length = U32(good, EntryOffset(good, ifds[1], 279) + 8);
    int failed = 0, badCodeWords = 0;
    const int trials = 12;
    for (int trial = 0; trial < trials; ++trial) {
        std::string bytes = good;
        Flip(bytes, strip + length * static_cast<std::size_t>(trial + 1) / 14, 4);
        WriteBytes(path("flipped.tif"), bytes);
        testing::internal::CaptureStderr();
        imagefile::PageReader reader;
        ASSERT_EQ(reader.open(path("flipped.tif")), IMG_OK) << "the directories are intact";
        ASSERT_EQ(reader.pageCount(), 3);
        Page first(reader.readPage(0)), second(reader.readPage(1));
        const std::string secondError = reader.error();
        Page third(reader.readPage(2));
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_GE(first.handle(), 0) << reader.error();
        EXPECT_GE(third.handle(), 0) << reader.error();
        // Whatever libtiff itself complains about fails the page; G4 has no
        // check sum, so a flip that still decodes cleanly cannot be seen.
        const int complaints = LibtiffComplaints(path("flipped.tif"), 1);
        if (complaints > 0) {
            EXPECT_EQ(second.handle(), IMG_BAD_FILE_FORMAT) << "trial " << trial;
        }
        if (second.handle() >= 0) continue;
        ++failed;
        EXPECT_EQ(secondError.rfind("page 2: damaged image data (", 0), 0u) << secondError;
        if (secondError.find("Bad code word") != std::string::npos) ++badCodeWords;
    }
    EXPECT_GE(failed, trials * 3 / 4);
    EXPECT_GT(badCodeWords, 0) << "libtiff's own message is carried";

    // A strip whose byte count stops halfway: libtiff's G4 decoder ends
    // quietly there and would leave the lower half of the page blank.
    std::string shortened = good;
    PutU32(shortened, EntryOffset(shortened, ifds[1], 279) + 8, static_cast<std::uint32_t>(length / 2));
    WriteBytes(path("short.tif"), shortened);
    imagefile::PageReader reader;
    ASSERT_EQ(reader.open(path("short.tif")), IMG_OK);
    EXPECT_EQ(reader.readPage(1), IMG_BAD_FILE_FORMAT);
    EXPECT_NE(reader.error().find("ends before the last row"), std::string::npos) << reader.error();
}

TEST_F(DamagedTiff, DamagedDeflateAndLzwDataFailThePage) {
    // Deflate (the library's grey pages with --compression best) and LZW
    // (written by Leptonica).
    imagefile::Compression deflate;
    deflate.tiffTone = imagefile::TiffCompression::Deflate;
    ThreePageTiff(path("deflate.tif"), 8, deflate);
    Page grey(MakePattern(300, 120, 8));
    PIX* pix = pixCreate(300, 120, 8);
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 300; ++x) pixSetPixel(pix, x, y, PatternValue(8, x, y));
    ASSERT_EQ(pixWriteTiff(path("lzw.tif").c_str(), pix, IFF_TIFF_LZW, "w"), 0);
    pixDestroy(&pix);
    for (const std::string name : {"deflate.tif", "lzw.tif"}) {
        const std::string good = ReadBytes(path(name));
        const std::vector<std::size_t> ifds = DirectoryOffsets(good);
        const std::size_t target = ifds.size() > 1 ? 1 : 0;
        const std::size_t strip = FirstStripOffset(good, ifds[target]);
        std::string bytes = good;
        for (std::size_t i = strip + 40; i < strip + 200; ++i) bytes[i] = static_cast<char>(0xFF);
        WriteBytes(path("bad.tif"), bytes);
        testing::internal::CaptureStderr();
        imagefile::PageReader reader;
        ASSERT_EQ(reader.open(path("bad.tif")), IMG_OK) << name;
        Page page(reader.readPage(static_cast<int>(target)));
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << name;
        EXPECT_EQ(page.handle(), IMG_BAD_FILE_FORMAT) << name;
        EXPECT_NE(reader.error().find("damaged image data"), std::string::npos) << name << ": " << reader.error();
    }
}

class DamagedSinglePage : public FileTest {};

TEST_F(DamagedSinglePage, PngAndJpegDecoderErrorsFailThePageQuietly) {
    Page colour(MakePattern(200, 150, 24));
    ASSERT_EQ(imagefile::SavePages(path("good.png"), {colour.handle()}, ImageFileFormat::Png), IMG_OK);
    ASSERT_EQ(imagefile::SavePages(path("good.jpg"), {colour.handle()}, ImageFileFormat::Jpeg), IMG_OK);
    const std::string png = ReadBytes(path("good.png"));
    const std::string jpeg = ReadBytes(path("good.jpg"));
    std::string flippedPng = png;
    const std::size_t idat = png.find("IDAT");
    ASSERT_NE(idat, std::string::npos);
    Flip(flippedPng, idat + 100, 1);  // the chunk's check sum no longer matches
    struct Case {
        const char* name;
        std::string bytes;
        const char* words;
    };
    const Case cases[] = {
        {"png with a flipped byte", flippedPng, "damaged PNG image data"},
        {"png cut short", png.substr(0, png.size() * 2 / 3), "damaged PNG image data"},
        {"jpeg cut short", jpeg.substr(0, jpeg.size() * 2 / 3), "Premature end of JPEG file"},
    };
    for (const Case& c : cases) {
        const std::string file = path(std::string(c.name).starts_with("png") ? "bad.png" : "bad.jpg");
        WriteBytes(file, c.bytes);
        testing::internal::CaptureStderr();
        std::string error;
        const int handle = imagefile::LoadPage(file, 0, &error);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << c.name;
        EXPECT_EQ(handle, IMG_BAD_FILE_FORMAT) << c.name;
        ImageWrapper::delete_bitmap(handle);
        EXPECT_NE(error.find(c.words), std::string::npos) << c.name << ": " << error;
    }
}
