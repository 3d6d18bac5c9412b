// Working copies for page removal: what a page's copy holds (the input's
// bytes, or the page alone), that only pipelines with page removal make
// them, that they and their folder go, that a killed run's folder goes with
// the next run, and that a missing copy fails only its page.
#include "cli/PageStaging.h"
#include "cli/PageDriver.h"
#include "cli/ProcessFactory.h"
#include "host/HostInterfaces.h"

#include "tests/cli/CommandTestSupport.h"
#include "tests/cli/FakeProcess.h"

namespace {

const ProcessFactory& Factory() {
    static const ProcessFactory factory;
    return factory;
}

std::string ImagePath(IZRPage* page) {
    CComPtr<IZRImage> image;
    page->GetImage(&image);
    CComBSTR path;
    if (image) image->GetFilePath(&path);
    return path.utf8();
}

// Folders of ours in `parent`.
std::vector<fs::path> StagingFolders(const fs::path& parent) {
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(parent))
        if (entry.path().filename().string().starts_with("leafmend-pages-")) found.push_back(entry.path());
    return found;
}

class PageStagingTest : public CommandTest {
protected:
    // Reads every page of `file` into a document whose file it is.
    CComPtr<CZRDocument> Read(const fs::path& file) {
        CComPtr<CZRDocument> document = HostObject<IZRPageContainer>::Create<CZRDocument>();
        document->SetFilePath(file.string());
        for (int i = 0; i < imagefile::CountPages(file.string()); ++i)
            document->AppendPage(imagefile::LoadPage(file.string(), i));
        return document;
    }
};

TEST_F(PageStagingTest, CopyHoldsTheInputOrThePageAloneAndGoesAfterwards) {
    WritePatternFile(work_ / "one.png", 40, 30, {1}, ImageFileFormat::Png);
    WritePatternFile(work_ / "three.tif", 40, 30, {2, 3, 4}, ImageFileFormat::Tiff);
    const std::string pngBytes = ReadText(work_ / "one.png"), tiffBytes = ReadText(work_ / "three.tif");
    {
        PageStaging staging(work_.string());
        CComPtr<CZRDocument> png = Read(work_ / "one.png");
        staging.Stage(png->Pages()[0], png);
        const std::string copy = ImagePath(png->Pages()[0]);
        EXPECT_TRUE(copy.starts_with(staging.Folder() + "/")) << copy;
        EXPECT_EQ(ReadText(copy), pngBytes);  // a single-page input: its bytes as read
        staging.Release(png->Pages()[0], png);
        EXPECT_FALSE(fs::exists(copy));
        EXPECT_EQ(ImagePath(png->Pages()[0]), (work_ / "one.png").string());

        CComPtr<CZRDocument> tiff = Read(work_ / "three.tif");
        staging.Stage(tiff->Pages()[1], tiff);
        const std::string page = ImagePath(tiff->Pages()[1]);
        EXPECT_EQ(imagefile::CountPages(page), 1);  // the second page alone
        ExpectPage(page, 0, 40, 30, [](int x, int y) { return PatternAt(x, y, 3); });
        WritePatternFile(work_ / "alone.tif", 40, 30, {3}, ImageFileFormat::Tiff);
        EXPECT_EQ(fs::file_size(page), fs::file_size(work_ / "alone.tif"));
        staging.Release(tiff->Pages()[1], tiff);
        ASSERT_EQ(StagingFolders(work_).size(), 1u);
    }
    EXPECT_TRUE(StagingFolders(work_).empty());
    EXPECT_EQ(ReadText(work_ / "one.png"), pngBytes);
    EXPECT_EQ(ReadText(work_ / "three.tif"), tiffBytes);
}

struct PipelineCase {
    const char* label;
    std::vector<std::string> after;  // processes after the probe
    const char16_t* removalRange;
    bool staged;
};

void PrintTo(const PipelineCase& value, std::ostream* out) { *out << value.label; }

class StagingPipelineTest : public PageStagingTest, public ::testing::WithParamInterface<PipelineCase> {};

// The probe runs first and sees the file its page's image names.
TEST_P(StagingPipelineTest, OnlyPagesThatPageRemovalTakesAreStaged) {
    WritePatternFile(work_ / "one.png", 40, 30, {1}, ImageFileFormat::Png);
    FakeProcess* probe = nullptr;
    std::vector<PipelineStep> steps{{"probe", FakeProcess::Make(S_OK, true, {}, &probe), "Fake"}};
    std::string seen;
    probe->action = [&](IZRPage* page) { seen = ImagePath(page); };
    for (const std::string& text : GetParam().after) {
        steps.push_back(
            PipelineStep{text, Factory().CreateFromText(text), Factory().ShortName(text.substr(0, text.find(' ')))});
        CComPtr<ZRPageRange> range;
        steps.back().process->GetPageRange(&range);
        CComBSTR value(GetParam().removalRange);
        range->SetRange(value);
    }
    PageDriver driver(std::move(steps), {}, work_.string());
    CComPtr<CZRDocument> document = Read(work_ / "one.png");
    EXPECT_TRUE(driver.Run(document->Pages()[0], document).ok);
    EXPECT_EQ(seen != (work_ / "one.png").string(), GetParam().staged) << seen;
    EXPECT_EQ(ImagePath(document->Pages()[0]), (work_ / "one.png").string());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StagingPipelineTest,
    ::testing::Values(PipelineCase{"NoPageRemoval", {"Invert"}, u"", false},
                      PipelineCase{"PageRemovalTakesThePage", {"PageRemoval THRESHOLD=-1"}, u"", true},
                      PipelineCase{"PageRemovalRangeSkipsThePage", {"PageRemoval THRESHOLD=-1"}, u"2", false}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(PageStagingTest, MissingWorkingCopyFailsThePageWhichStays) {
    WritePatternFile(work_ / "one.png", 40, 30, {1}, ImageFileFormat::Png);
    FakeProcess* eraser = nullptr;
    std::vector<PipelineStep> steps{
        {"eraser", FakeProcess::Make(S_OK, true, {}, &eraser), "Fake"},
        {"PageRemoval", Factory().CreateFromText("PageRemoval THRESHOLD=1000000"), "PageRemoval"}};
    eraser->action = [](IZRPage* page) { fs::remove(ImagePath(page)); };
    PageDriver driver(std::move(steps), {}, work_.string());
    CComPtr<CZRDocument> document = Read(work_ / "one.png");
    const PageOutcome outcome = driver.Run(document->Pages()[0], document);
    EXPECT_FALSE(outcome.ok);
    EXPECT_FALSE(outcome.removed);
    EXPECT_FALSE(document->Removed(1));
    EXPECT_EQ(outcome.failedProcess, "PageRemoval");
    EXPECT_EQ(static_cast<unsigned>(outcome.hr), 0x8004086Cu);
    EXPECT_EQ(outcome.message, "Failed to retrieve file info.");
    EXPECT_TRUE(fs::exists(work_ / "one.png"));
}

TEST_F(PageStagingTest, FoldersOfRunsThatNoLongerExistAreRemoved) {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ASSERT_GT(child, 0);
    ::waitpid(child, nullptr, 0);  // its pid now names no run
    const fs::path dead = work_ / ("leafmend-pages-" + std::to_string(child) + "-abcdef");
    const fs::path live = work_ / ("leafmend-pages-" + std::to_string(::getppid()) + "-abcdef");
    const fs::path other = work_ / "leafmend-pages-x-abcdef";
    for (const fs::path& folder : {dead, live, other}) {
        fs::create_directories(folder);
        std::ofstream(folder / "1.tif") << "page";
    }
    fs::create_symlink(work_ / "keep.txt", dead / "link");
    std::ofstream(work_ / "keep.txt") << "kept";
    EXPECT_EQ(PageStaging::RemoveStale(work_.string()), std::vector<std::string>{dead.string()});
    EXPECT_FALSE(fs::exists(dead));
    EXPECT_TRUE(fs::exists(live / "1.tif"));
    EXPECT_TRUE(fs::exists(other / "1.tif"));
    EXPECT_EQ(ReadText(work_ / "keep.txt"), "kept");  // a link inside is removed, never followed
}

}  // namespace
