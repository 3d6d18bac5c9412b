// The page-at-a-time reader and writer: pages come and go one by one, the
// output appears only when the whole file was written, temporary files are
// exclusive, never left behind and never followed through links; folders and
// special files are refused without being opened.
#include "HostileFiles.h"

#include <sys/stat.h>
#include <tiffio.h>

#include <filesystem>

using namespace imagelib_test;
namespace fs = std::filesystem;

namespace {

std::vector<std::uint16_t> Compressions(const std::string& file) {
    std::vector<std::uint16_t> found;
    TIFF* tif = TIFFOpen(file.c_str(), "r");
    if (!tif) return found;
    do {
        std::uint16_t compression = 0;
        TIFFGetField(tif, TIFFTAG_COMPRESSION, &compression);
        found.push_back(compression);
    } while (TIFFReadDirectory(tif));
    TIFFClose(tif);
    return found;
}

}  // namespace

class PageStreaming : public FileTest {};

TEST_F(PageStreaming, WriterAppearsOnlyOnCommitAndKeepsEveryPage) {
    Page binary(MakePattern(64, 40, 1)), grey(MakePattern(33, 20, 8)), colour(MakePattern(18, 25, 24));
    ImageWrapper::set_resolution(binary.handle(), 300, 300);
    ImageWrapper::set_resolution(colour.handle(), 72, 96);
    const std::string target = path("out.tif");
    imagefile::PageWriter writer;
    ASSERT_EQ(writer.begin(target, ImageFileFormat::Tiff), IMG_OK) << writer.error();
    const std::string temporary = fs::path(writer.temporaryPath()).filename().string();
    EXPECT_TRUE(imagefile::IsTemporaryFileName(temporary)) << temporary;
    for (const Page* page : {&binary, &grey, &colour, &binary}) {
        ASSERT_EQ(writer.append(page->handle()), IMG_OK) << writer.error();
        EXPECT_EQ(Listing(), std::vector<std::string>{temporary}) << "nothing at the target before the commit";
    }
    EXPECT_EQ(writer.pageCount(), 4);
    ASSERT_EQ(writer.commit(), IMG_OK) << writer.error();
    EXPECT_EQ(Listing(), std::vector<std::string>{"out.tif"});
    EXPECT_EQ(Compressions(target), (std::vector<std::uint16_t>{COMPRESSION_CCITTFAX4, COMPRESSION_LZW, COMPRESSION_LZW,
                                                                COMPRESSION_CCITTFAX4}));

    imagefile::PageReader reader;
    ASSERT_EQ(reader.open(target), IMG_OK) << reader.error();
    EXPECT_EQ(reader.format(), ImageFileFormat::Tiff);
    ASSERT_EQ(reader.pageCount(), 4);
    const Page* originals[] = {&binary, &grey, &colour, &binary};
    for (int i = 3; i >= 0; --i) {  // any order
        Page loaded(reader.readPage(i));
        ASSERT_GE(loaded.handle(), 0) << reader.error();
        EXPECT_EQ(loaded.bits(), originals[i]->bits()) << i;
        EXPECT_EQ(loaded.rows(), originals[i]->rows()) << i;
        EXPECT_EQ(loaded.dib()->biXPelsPerMeter, originals[i]->dib()->biXPelsPerMeter) << i;
        EXPECT_EQ(loaded.dib()->biYPelsPerMeter, originals[i]->dib()->biYPelsPerMeter) << i;
    }
    EXPECT_EQ(reader.readPage(4), IMG_BAD_ARGUMENT);
    EXPECT_EQ(reader.error(), "no page 5 (the file has 4)");
    EXPECT_EQ(reader.readPage(-1), IMG_BAD_ARGUMENT);
}

TEST_F(PageStreaming, FailedOrAbandonedWritesLeaveTheOldFileAndNoTemporary) {
    Page page(MakePattern(20, 10, 8));
    WriteBytes(path("out.tif"), "previous contents");
    {
        imagefile::PageWriter writer;  // destroyed without commit
        ASSERT_EQ(writer.begin(path("out.tif"), ImageFileFormat::Tiff), IMG_OK);
        ASSERT_EQ(writer.append(page.handle()), IMG_OK);
    }
    EXPECT_EQ(ReadBytes(path("out.tif")), "previous contents");
    EXPECT_EQ(Listing(), std::vector<std::string>{"out.tif"});

    imagefile::PageWriter writer;
    ASSERT_EQ(writer.begin(path("out.tif"), ImageFileFormat::Tiff), IMG_OK);
    ASSERT_EQ(writer.append(page.handle()), IMG_OK);
    EXPECT_EQ(writer.append(-5), IMG_BAD_HANDLE);
    EXPECT_NE(writer.error().find("bad image handle -5"), std::string::npos) << writer.error();
    EXPECT_EQ(Listing(), std::vector<std::string>{"out.tif"}) << "the temporary file goes at the failure";
    EXPECT_LT(writer.commit(), 0) << "a failed file is never committed";
    EXPECT_EQ(ReadBytes(path("out.tif")), "previous contents");

    // Only TIFF holds several pages; no pages is no file.
    ASSERT_EQ(writer.begin(path("one.png"), ImageFileFormat::Png), IMG_OK);
    ASSERT_EQ(writer.append(page.handle()), IMG_OK);
    EXPECT_EQ(writer.append(page.handle()), IMG_BAD_ARGUMENT);
    ASSERT_EQ(writer.begin(path("none.tif"), ImageFileFormat::Tiff), IMG_OK);
    EXPECT_EQ(writer.commit(), IMG_BAD_ARGUMENT);
    EXPECT_EQ(Listing(), std::vector<std::string>{"out.tif"});
}

TEST_F(PageStreaming, CommitReplacesALinkNotItsTargetAndRefusesAFolder) {
    Page page(MakePattern(20, 10, 1));
    fs::create_directories(path("elsewhere"));
    WriteBytes(path("elsewhere/precious.tif"), "precious");
    fs::create_symlink(path("elsewhere/precious.tif"), path("out.tif"));
    ASSERT_EQ(imagefile::SavePages(path("out.tif"), {page.handle()}, ImageFileFormat::Tiff), IMG_OK);
    EXPECT_EQ(ReadBytes(path("elsewhere/precious.tif")), "precious");
    EXPECT_FALSE(fs::is_symlink(path("out.tif")));
    EXPECT_EQ(imagefile::CountPages(path("out.tif")), 1);

    fs::create_directories(path("taken.tif/inside"));
    std::string error;
    EXPECT_LT(imagefile::SavePages(path("taken.tif"), {page.handle()}, ImageFileFormat::Tiff, &error), 0);
    EXPECT_NE(error.find("a folder has that name"), std::string::npos) << error;
    EXPECT_TRUE(fs::is_directory(path("taken.tif/inside")));
    EXPECT_EQ(Listing(), (std::vector<std::string>{"elsewhere", "out.tif", "taken.tif"}));
}

TEST_F(PageStreaming, TemporaryFilesCanBeRemovedFromASignalHandler) {
    Page page(MakePattern(20, 10, 24));
    imagefile::PageWriter first, second;
    ASSERT_EQ(first.begin(path("a.tif"), ImageFileFormat::Tiff), IMG_OK);
    ASSERT_EQ(second.begin(path("b.png"), ImageFileFormat::Png), IMG_OK);
    ASSERT_EQ(first.append(page.handle()), IMG_OK);
    EXPECT_EQ(Listing().size(), 2u);
    imagefile::RemoveTemporaryFilesNow();
    EXPECT_TRUE(Listing().empty());
    EXPECT_LT(first.commit(), 0) << "the file it wrote is gone";
    EXPECT_TRUE(Listing().empty());
}

TEST_F(PageStreaming, TemporaryNamesAreRecognised) {
    struct Case {
        const char* name;
        bool ours;
    };
    const Case cases[] = {{".page.tif.leafmend-a1B2c3", true},   {".x.leafmend-ZZZZZZ", true},
                          {"page.tif.leafmend-a1B2c3", false},   {".page.tif.leafmend-a1B2c", false},
                          {".page.tif.leafmend-a1B2c3d", false}, {".page.tif.leafmend-a1B2c!", false},
                          {".leafmend-a1B2c3", false},           {"page.tif", false}};
    for (const Case& c : cases) EXPECT_EQ(imagefile::IsTemporaryFileName(c.name), c.ours) << c.name;
}

TEST_F(PageStreaming, FoldersSpecialFilesAndMissingFilesAreRefusedByName) {
    fs::create_directories(path("folder.tif"));
    ASSERT_EQ(::mkfifo(path("pipe.tif").c_str(), 0600), 0);
    WriteBytes(path("text.tif"), "not an image at all");
    struct Case {
        const char* name;
        int status;
        const char* cause;
    };
    const Case cases[] = {{"folder.tif", IMG_FILE_READ_ERROR, "is a folder"},
                          {"pipe.tif", IMG_FILE_READ_ERROR, "not a regular file"},  // would block if opened
                          {"missing.tif", IMG_FILE_NOT_FOUND, "no such file"},
                          {"text.tif", IMG_BAD_FILE_FORMAT, "not a TIFF, PNG or JPEG file"}};
    for (const Case& c : cases) {
        imagefile::PageReader reader;
        EXPECT_EQ(reader.open(path(c.name)), c.status) << c.name;
        EXPECT_EQ(reader.error(), c.cause) << c.name;
        EXPECT_EQ(reader.readPage(0), IMG_BAD_ARGUMENT) << c.name;
        EXPECT_EQ(imagefile::Sniff(path(c.name)), ImageFileFormat::Unknown) << c.name;
    }
    if (::geteuid() != 0) {  // root reads anything
        Page page(MakePattern(4, 4, 8));
        ASSERT_EQ(imagefile::SavePages(path("locked.png"), {page.handle()}, ImageFileFormat::Png), IMG_OK);
        fs::permissions(path("locked.png"), fs::perms::none);
        imagefile::PageReader reader;
        EXPECT_EQ(reader.open(path("locked.png")), IMG_FILE_ACCESS_DENIED);
        EXPECT_EQ(reader.error(), "permission denied");
    }
}
