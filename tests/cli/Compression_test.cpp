// The built leafmend's --compression: each value reaches the writers and keeps
// PNG and TIFF pixels exact, JPEG outputs keep the input's quality unless one
// is chosen, and a value we do not know is a usage error that names it.
#include "tests/cli/CommandTestSupport.h"

namespace {

constexpr int kW = 300, kH = 200;

unsigned Turned(int seed, int x, int y) { return PatternAt(y, kH - 1 - x, seed); }

int JpegQualityOf(const fs::path& file) {
    imagefile::PageReader reader;
    if (reader.open(file.string()) < 0) return -1;
    return reader.jpegQuality();
}

TEST_F(CommandTest, EveryCompressionKeepsTheTurnedPixels) {
    WritePatternFile(work_ / "two.tif", kW, kH, {1, 2}, ImageFileFormat::Tiff);
    WritePatternFile(work_ / "one.png", kW, kH, {3}, ImageFileFormat::Png);
    for (const std::string value : {"fast", "best", "none", "lzw", "deflate:4", "g4", "deflate,g4", "jpeg:50"}) {
        SCOPED_TRACE(value);
        fs::remove_all(work_ / "out");
        ASSERT_EQ(Leafmend("run -q -p Rotate two.tif one.png -o out --compression " + value), 0) << err_;
        ExpectPage(work_ / "out/two.tif", 0, kH, kW, [](int x, int y) { return Turned(1, x, y); });
        ExpectPage(work_ / "out/two.tif", 1, kH, kW, [](int x, int y) { return Turned(2, x, y); });
        ExpectPage(work_ / "out/one.png", 0, kH, kW, [](int x, int y) { return Turned(3, x, y); });
    }
}

TEST_F(CommandTest, CompressionReachesTheOutputFiles) {
    WritePatternFile(work_ / "grey.tif", kW, kH, {1}, ImageFileFormat::Tiff);
    WritePatternFile(work_ / "grey.png", kW, kH, {1}, ImageFileFormat::Png);
    std::uintmax_t tiff[2] = {}, png[2] = {};
    const char* values[] = {"none", "fast"};
    for (int i = 0; i < 2; ++i) {
        fs::remove_all(work_ / "out");
        ASSERT_EQ(Leafmend(std::string("run -q -p Invert grey.tif grey.png -o out --compression ") + values[i]), 0)
            << err_;
        tiff[i] = fs::file_size(work_ / "out/grey.tif");
        png[i] = fs::file_size(work_ / "out/grey.png");
    }
    const std::uintmax_t pixels = std::uintmax_t{kW} * kH;
    EXPECT_GE(tiff[0], pixels) << "none: every pixel byte stored";
    EXPECT_GE(png[0], pixels);
    EXPECT_LT(tiff[1], pixels / 2) << "fast: compressed";
    EXPECT_LT(png[1], pixels / 2);
}

TEST_F(CommandTest, RemovedPagesAreCompressedLikeTheOutputs) {
    WritePatternFile(work_ / "grey.tif", kW, kH, {1, 2}, ImageFileFormat::Tiff);
    std::uintmax_t sizes[2] = {};
    const char* values[] = {"none", "fast"};
    for (int i = 0; i < 2; ++i) {
        fs::remove_all(work_ / "removed");
        ASSERT_EQ(Leafmend(std::string("run -q -p 'PageRemoval THRESHOLD=100000000' grey.tif -o out --removed "
                                       "removed --compression ") +
                           values[i]),
                  0)
            << err_;
        ExpectPage(work_ / "removed/grey.tif", 1, kW, kH, [](int x, int y) { return PatternAt(x, y, 2); });
        sizes[i] = fs::file_size(work_ / "removed/grey.tif");
    }
    const std::uintmax_t pixels = std::uintmax_t{kW} * kH * 2;
    EXPECT_GE(sizes[0], pixels) << "none: every pixel byte stored";
    EXPECT_LT(sizes[1], pixels / 2) << "fast: compressed";
}

TEST_F(CommandTest, JpegOutputKeepsTheInputsQualityUnlessOneIsChosen) {
    const int page = MakePatternPage(kW, kH, 4);
    imagefile::Compression written;
    written.jpegQuality = 63;
    ASSERT_EQ(imagefile::SavePages((work_ / "scan.jpg").string(), {page}, ImageFileFormat::Jpeg, nullptr, written),
              IMG_OK);
    ImageWrapper::delete_bitmap(page);
    ASSERT_EQ(JpegQualityOf(work_ / "scan.jpg"), 63);
    ASSERT_EQ(Leafmend("run -q -p Invert scan.jpg -o out"), 0) << err_;
    EXPECT_EQ(JpegQualityOf(work_ / "out/scan.jpg"), 63);
    ASSERT_EQ(Leafmend("run -q -p Invert scan.jpg -o out2 --compression best"), 0) << err_;
    EXPECT_EQ(JpegQualityOf(work_ / "out2/scan.jpg"), 63);
    ASSERT_EQ(Leafmend("run -q -p Invert scan.jpg -o out3 --compression jpeg:40"), 0) << err_;
    EXPECT_EQ(JpegQualityOf(work_ / "out3/scan.jpg"), 40);
}

TEST_F(CommandTest, UnknownCompressionIsAUsageErrorNamingIt) {
    WritePatternFile(work_ / "one.png", kW, kH, {3}, ImageFileFormat::Png);
    for (const std::string value : {"zip", "deflate:0", "jpeg:101", "fast,"}) {
        SCOPED_TRACE(value);
        EXPECT_EQ(Leafmend("run -q -p Invert one.png -o out --compression '" + value + "'"), 2);
        EXPECT_NE(err_.find("--compression"), std::string::npos) << err_;
        EXPECT_NE(err_.find("'" + value + "'"), std::string::npos) << err_;
        EXPECT_FALSE(fs::exists(work_ / "out/one.png"));
    }
}

}  // namespace
