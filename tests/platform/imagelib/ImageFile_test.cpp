// Page files: round trips through TIFF, PNG and JPEG, and broken files.
#include "TestPages.h"

#include <leptonica/allheaders.h>

#include <filesystem>
#include <fstream>
#include <iterator>

using namespace imagelib_test;
namespace fs = std::filesystem;

class ImageFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("imagelib_test_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    static std::string Bytes(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    void Write(const std::string& file, const std::string& bytes) const {
        std::ofstream(file, std::ios::binary) << bytes;
    }
    fs::path dir_;
};

TEST_F(ImageFileTest, MultiPageTiffKeepsPixelsDepthAndResolution) {
    Page binary(MakePattern(101, 67, 1)), grey(MakePattern(33, 20, 8)), colour(MakePattern(18, 25, 24));
    ImageWrapper::set_resolution(binary.handle(), 300, 300);
    ImageWrapper::set_resolution(grey.handle(), 150, 150);
    ImageWrapper::set_resolution(colour.handle(), 72, 96);
    const std::string file = path("pages.tif");
    std::string error;
    ASSERT_EQ(
        imagefile::SavePages(file, {binary.handle(), grey.handle(), colour.handle()}, ImageFileFormat::Tiff, &error),
        IMG_OK)
        << error;
    EXPECT_EQ(imagefile::Sniff(file), ImageFileFormat::Tiff);
    ASSERT_EQ(imagefile::CountPages(file), 3);
    const Page* originals[] = {&binary, &grey, &colour};
    for (int i = 0; i < 3; ++i) {
        Page loaded(imagefile::LoadPage(file, i, &error));
        ASSERT_GE(loaded.handle(), 0) << error;
        EXPECT_EQ(loaded.bits(), originals[i]->bits());
        EXPECT_EQ(loaded.rows(), originals[i]->rows()) << "page " << i;
        EXPECT_EQ(loaded.dib()->biXPelsPerMeter, originals[i]->dib()->biXPelsPerMeter);
        EXPECT_EQ(loaded.dib()->biYPelsPerMeter, originals[i]->dib()->biYPelsPerMeter);
    }
    FILE* fp = std::fopen(file.c_str(), "rb");
    l_int32 compression = 0;
    ASSERT_EQ(findTiffCompression(fp, &compression), 0);
    std::fclose(fp);
    EXPECT_EQ(compression, IFF_TIFF_G4);
    EXPECT_LT(imagefile::LoadPage(file, 3, &error), 0);
}

TEST_F(ImageFileTest, PngKeepsPixelsAndResolution) {
    for (const int bits : {1, 8, 24}) {
        Page page(MakePattern(31, 14, bits));
        ImageWrapper::set_resolution(page.handle(), 200, 200);
        const std::string file = path("page" + std::to_string(bits) + ".png");
        ASSERT_EQ(imagefile::SavePages(file, {page.handle()}, ImageFileFormat::Png), IMG_OK);
        EXPECT_EQ(imagefile::Sniff(file), ImageFileFormat::Png);
        EXPECT_EQ(imagefile::CountPages(file), 1);
        Page loaded(imagefile::LoadPage(file, 0));
        ASSERT_GE(loaded.handle(), 0);
        EXPECT_EQ(loaded.bits(), bits);
        EXPECT_EQ(loaded.rows(), page.rows());
        EXPECT_EQ(loaded.dib()->biXPelsPerMeter, 200);
    }
}

TEST_F(ImageFileTest, JpegKeepsSizeResolutionAndApproximatePixels) {
    Page page(64, 48, 24);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) Set(page.dib(), x, y, x < 32 ? 0x204080u : 0xE0D0C0u);
    ImageWrapper::set_resolution(page.handle(), 300, 300);
    const std::string file = path("page.jpg");
    ASSERT_EQ(imagefile::SavePages(file, {page.handle()}, ImageFileFormat::Jpeg), IMG_OK);
    EXPECT_EQ(imagefile::Sniff(file), ImageFileFormat::Jpeg);
    Page loaded(imagefile::LoadPage(file, 0));
    ASSERT_GE(loaded.handle(), 0);
    ASSERT_EQ(loaded.width(), 64);
    ASSERT_EQ(loaded.height(), 48);
    EXPECT_EQ(loaded.dib()->biXPelsPerMeter, 300);
    for (const auto& [x, y] : {std::pair{5, 5}, {60, 40}}) {
        const std::uint32_t a = Get(page.dib(), x, y), b = Get(loaded.dib(), x, y);
        for (int shift : {0, 8, 16}) EXPECT_NEAR(static_cast<int>((a >> shift) & 0xFF), (b >> shift) & 0xFF, 6);
    }
    Page binary(16, 16, 1);
    ASSERT_EQ(imagefile::SavePages(path("binary.jpg"), {binary.handle()}, ImageFileFormat::Jpeg), IMG_OK);
    Page greyed(imagefile::LoadPage(path("binary.jpg"), 0));
    EXPECT_EQ(greyed.bits(), 8);
}

TEST_F(ImageFileTest, OtherLeptonicaLayoutsBecomeHouseDepths) {
    // Colour-mapped 1 bpp whose index 1 is white, 4 bpp grey and RGBA.
    PIX* mapped = pixCreate(8, 2, 1);
    PIXCMAP* cmap = pixcmapCreate(1);
    pixcmapAddColor(cmap, 0, 0, 0);
    pixcmapAddColor(cmap, 255, 255, 255);
    pixSetColormap(mapped, cmap);
    pixSetPixel(mapped, 0, 0, 1);
    PIX* four = pixCreate(8, 2, 4);
    pixSetPixel(four, 1, 0, 15);
    PIX* rgba = pixCreate(8, 2, 32);
    pixSetSpp(rgba, 4);
    pixSetPixel(rgba, 0, 0, 0x000000FF);  // opaque black
    pixSetPixel(rgba, 2, 0, 0x00000000);  // fully transparent: blends to white
    pixSetPixel(rgba, 3, 0, 0xFF0000FF);  // opaque red
    struct Case {
        PIX* pix;
        int bits;
        std::uint32_t at0, at1, at2, at3;
    };
    const Case cases[] = {
        {mapped, 1, 1, 0, 0, 0}, {four, 8, 0, 255, 0, 0}, {rgba, 24, 0, 0xFFFFFF, 0xFFFFFF, 0xFF0000}};
    for (const Case& c : cases) {
        const std::string file = path("lept.png");
        ASSERT_EQ(pixWrite(file.c_str(), c.pix, IFF_PNG), 0);
        Page page(imagefile::LoadPage(file, 0));
        ASSERT_GE(page.handle(), 0);
        EXPECT_EQ(page.bits(), c.bits);
        const std::uint32_t expected[] = {c.at0, c.at1, c.at2, c.at3};
        for (int x = 0; x < 4; ++x) EXPECT_EQ(Get(page.dib(), x, 0), expected[x]) << "bits " << c.bits << " x " << x;
        pixDestroy(const_cast<PIX**>(&c.pix));
    }
}

TEST_F(ImageFileTest, BrokenFilesGiveStatusAndCause) {
    Page page(MakePattern(120, 90, 24));
    ASSERT_EQ(imagefile::SavePages(path("good.png"), {page.handle()}, ImageFileFormat::Png), IMG_OK);
    ASSERT_EQ(imagefile::SavePages(path("good.jpg"), {page.handle()}, ImageFileFormat::Jpeg), IMG_OK);
    ASSERT_EQ(imagefile::SavePages(path("good.tif"), {page.handle(), page.handle()}, ImageFileFormat::Tiff), IMG_OK);
    std::string garbage(1 << 20, '\0');
    for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>((i * 7919 + 13) % 251);
    Write(path("garbage.bin"), garbage);
    Write(path("empty.png"), "");
    std::vector<std::string> broken = {"garbage.bin", "empty.png", "missing.tif", ""};
    for (const std::string name : {"good.png", "good.jpg", "good.tif"}) {
        const std::string bytes = Bytes(path(name));
        for (const std::size_t keep : {std::size_t{8}, std::size_t{60}, bytes.size() / 2}) {
            broken.push_back("cut" + std::to_string(keep) + "_" + name);
            Write(path(broken.back()), bytes.substr(0, keep));
            // Same length as the good file, but the rest is noise (a JPEG's
            // entropy-coded data has no check sums, so noise there decodes).
            if (name.ends_with(".jpg")) continue;
            broken.push_back("noise" + std::to_string(keep) + "_" + name);
            Write(path(broken.back()), bytes.substr(0, keep) + garbage.substr(0, bytes.size() - keep));
        }
    }
    for (const std::string& name : broken) {
        std::string error;
        const int status = imagefile::LoadPage(path(name), name.ends_with(".tif") ? 1 : 0, &error);
        EXPECT_LT(status, 0) << name;
        EXPECT_FALSE(error.empty()) << name;
        ImageWrapper::delete_bitmap(status);
    }
    EXPECT_EQ(imagefile::LoadPage(path("missing.tif"), 0), IMG_FILE_NOT_FOUND);
    EXPECT_EQ(imagefile::CountPages(path("missing.tif")), IMG_FILE_NOT_FOUND);
    EXPECT_EQ(imagefile::LoadPage(path("garbage.bin"), 0), IMG_BAD_FILE_FORMAT);
    EXPECT_EQ(imagefile::CountPages(path("garbage.bin")), IMG_BAD_FILE_FORMAT);
    EXPECT_EQ(imagefile::Sniff(path("garbage.bin")), ImageFileFormat::Unknown);
}

TEST_F(ImageFileTest, SaveFailuresGiveStatusAndCause) {
    Page page(8, 8, 8);
    std::string error;
    EXPECT_EQ(imagefile::SavePages(path("no/such/dir/x.png"), {page.handle()}, ImageFileFormat::Png, &error),
              IMG_FILE_WRITE_ERROR);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(imagefile::SavePages(path("two.png"), {page.handle(), page.handle()}, ImageFileFormat::Png),
              IMG_BAD_ARGUMENT);
    EXPECT_EQ(imagefile::SavePages(path("bad.tif"), {page.handle(), -1}, ImageFileFormat::Tiff), IMG_BAD_HANDLE);
    EXPECT_EQ(imagefile::SavePages(path("none.tif"), {}, ImageFileFormat::Tiff), IMG_BAD_ARGUMENT);
}
