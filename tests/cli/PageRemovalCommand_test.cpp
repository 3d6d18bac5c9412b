// Page removal through the built leafmend: which pages leave the output and
// how they are named, the process mode from -p and the job file, the
// --removed folder, parallel workers, and the working copies' folder after
// runs that end by a signal. Inputs are never changed.
#include "tests/cli/CommandTestSupport.h"

#include <nlohmann/json.hpp>

#include <csignal>
#include <thread>

namespace {

constexpr int kW = 120, kH = 90;

int MakeUniformPage(BYTE grey) {
    const int handle = ImageWrapper::create_handle_from_scratch(kW, kH, 8);
    BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(handle);
    std::fill_n(dib::Bits(dib), dib::Stride(kW, 8) * kH, grey);
    ImageWrapper::set_resolution(handle, 300, 300);
    return handle;
}

// A page of three.tif: 1 and 3 are blank (greys 250 and 253), 2 carries the pattern.
int MakeThreePage(int number) {
    return number == 2 ? MakePatternPage(kW, kH, 2) : MakeUniformPage(number == 1 ? 250 : 253);
}

unsigned ThreePixel(int number, int x, int y) { return number == 2 ? PatternAt(x, y, 2) : (number == 1 ? 250u : 253u); }

void WriteFile(const fs::path& path, const std::vector<int>& handles, ImageFileFormat format) {
    ASSERT_GE(imagefile::SavePages(path.string(), handles, format), 0);
    for (int handle : handles) ImageWrapper::delete_bitmap(handle);
}

// The size of page `number` of three.tif written alone, as its working copy is.
long StagedSize(const fs::path& work, int number) {
    const fs::path alone = work / ("alone" + std::to_string(number) + ".tif");
    WriteFile(alone, {MakeThreePage(number)}, ImageFileFormat::Tiff);
    const long size = static_cast<long>(fs::file_size(alone));
    fs::remove(alone);
    return size;
}

// Every path below `folder`, for failure messages.
std::string Listing(const fs::path& folder) {
    std::string names;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) names += " " + entry.path().string();
    return names;
}

std::string SizeMessage(long size) {
    return "Removed page because its size, " + std::to_string(size) + " bytes, was below the threshold.";
}

class PageRemovalCommandTest : public CommandTest {
protected:
    void SetUp() override {
        CommandTest::SetUp();
        std::vector<int> pages;
        for (int number = 1; number <= 3; ++number) pages.push_back(MakeThreePage(number));
        WriteFile(work_ / "three.tif", pages, ImageFileFormat::Tiff);
        for (int number = 1; number <= 3; ++number) sizes_[number] = StagedSize(work_, number);
        input_ = ReadText(work_ / "three.tif");
        fs::create_directories(work_ / "tmp");
    }
    void TearDown() override {
        EXPECT_EQ(ReadText(work_ / "three.tif"), input_) << "the input changed";
        EXPECT_TRUE(fs::is_empty(work_ / "tmp")) << "working copies left behind:" << Listing(work_ / "tmp");
        CommandTest::TearDown();
    }
    int Run(const std::string& arguments) { return Leafmend(arguments, "TMPDIR=tmp "); }
    // The report's removed pages as "FILE p N: message".
    std::vector<std::string> Removals() const {
        std::vector<std::string> found;
        for (const auto& entry : nlohmann::json::parse(ReadText(work_ / "r.json")))
            if (entry.contains("removal")) {
                EXPECT_EQ(entry["removal"]["process"], "PageRemoval");
                found.push_back(entry["file"].get<std::string>() + " p" + std::to_string(entry["page"].get<int>()) +
                                ": " + entry["removal"]["message"].get<std::string>());
            }
        return found;
    }
    long sizes_[4] = {};
    std::string input_;
};

struct ThresholdCase {
    const char* label;
    int sizeOfPage;  // the threshold is the working copy size of this page ...
    int plus;        // ... plus this; 0 pages: -1
    std::vector<int> kept;
};

void PrintTo(const ThresholdCase& value, std::ostream* out) { *out << value.label; }

class ThresholdTest : public PageRemovalCommandTest, public ::testing::WithParamInterface<ThresholdCase> {};

TEST_P(ThresholdTest, PagesUpToTheThresholdLeaveTheOutputAndAreNamed) {
    const ThresholdCase& c = GetParam();
    const long threshold = c.sizeOfPage ? sizes_[c.sizeOfPage] + c.plus : -1;
    ASSERT_EQ(Run("run -p 'PageRemoval THRESHOLD=" + std::to_string(threshold) + "' three.tif -o out --report r.json"),
              0)
        << err_;
    std::vector<std::string> removed;
    for (int number = 1; number <= 3; ++number)
        if (std::find(c.kept.begin(), c.kept.end(), number) == c.kept.end()) {
            removed.push_back("three.tif p" + std::to_string(number) + ": " + SizeMessage(sizes_[number]));
            EXPECT_NE(out_.find("Removed three.tif: page " + std::to_string(number) +
                                ": PageRemoval: " + SizeMessage(sizes_[number])),
                      std::string::npos)
                << out_;
        }
    EXPECT_EQ(Removals(), removed);
    if (c.kept.empty()) {
        EXPECT_FALSE(fs::exists(work_ / "out/three.tif"));
        EXPECT_NE(err_.find("three.tif: every page was removed; no output written"), std::string::npos) << err_;
        return;
    }
    ASSERT_EQ(imagefile::CountPages((work_ / "out/three.tif").string()), static_cast<int>(c.kept.size()));
    for (std::size_t i = 0; i < c.kept.size(); ++i)
        ExpectPage(work_ / "out/three.tif", static_cast<int>(i), kW, kH,
                   [number = c.kept[i]](int x, int y) { return ThreePixel(number, x, y); });
}

INSTANTIATE_TEST_SUITE_P(Cases, ThresholdTest,
                         ::testing::Values(ThresholdCase{"BelowEverySize", 1, -1, {1, 2, 3}},
                                           ThresholdCase{"AtTheBlankPagesSize", 1, 0, {2}},
                                           ThresholdCase{"AtTheLargestSize", 2, 0, {}},
                                           ThresholdCase{"NegativeRemovesNothing", 0, 0, {1, 2, 3}}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(PageRemovalCommandTest, ThresholdZeroRemovesTheFirstPageOfEachInputOnly) {
    WriteFile(work_ / "one.png", {MakePatternPage(kW, kH, 5)}, ImageFileFormat::Png);
    ASSERT_EQ(Run("run -p PageRemoval three.tif one.png -o out --report r.json"), 0) << err_;
    EXPECT_EQ(Removals(), (std::vector<std::string>{"three.tif p1: Page Removal has removed page 1.",
                                                    "one.png p1: Page Removal has removed page 1."}));
    ASSERT_EQ(imagefile::CountPages((work_ / "out/three.tif").string()), 2);
    ExpectPage(work_ / "out/three.tif", 0, kW, kH, [](int x, int y) { return ThreePixel(2, x, y); });
    ExpectPage(work_ / "out/three.tif", 1, kW, kH, [](int x, int y) { return ThreePixel(3, x, y); });
    EXPECT_FALSE(fs::exists(work_ / "out/one.png"));
    EXPECT_NE(err_.find("one.png: every page was removed"), std::string::npos) << err_;
}

// Mode 8 from -p, and from a job file save-job wrote from the same -p.
TEST_F(PageRemovalCommandTest, ModeEightReportsEachSizeAndRemovesNothing) {
    const std::string process = "-p 'PageRemoval THRESHOLD=1000000 mode=8'";
    ASSERT_EQ(Run("save-job " + process + " -o job.xml"), 0) << err_;
    EXPECT_NE(ReadText(work_ / "job.xml").find("Mode=\"8\""), std::string::npos);
    for (const std::string& pipeline : {process, std::string("--job job.xml")}) {
        ASSERT_EQ(Run("run " + pipeline + " three.tif -o out --report r.json"), 0) << err_;
        EXPECT_TRUE(Removals().empty()) << pipeline;
        EXPECT_EQ(imagefile::CountPages((work_ / "out/three.tif").string()), 3) << pipeline;
        const auto report = nlohmann::json::parse(ReadText(work_ / "r.json"));
        ASSERT_EQ(report.size(), 3u);
        for (int number = 1; number <= 3; ++number)
            EXPECT_EQ(report[number - 1]["messages"],
                      nlohmann::json::array({"PageRemoval: The current page has a size of " +
                                             std::to_string(sizes_[number]) + " bytes."}))
                << pipeline;
    }
    EXPECT_EQ(Run("run -p 'PageRemoval mode=eight' three.tif -o out"), 2);
    EXPECT_NE(err_.find("the mode of PageRemoval must be a whole number"), std::string::npos) << err_;
}

TEST_F(PageRemovalCommandTest, RemovedFolderGetsExactlyTheRemovedPagesAsRead) {
    WriteFile(work_ / "blank.png", {MakeUniformPage(240)}, ImageFileFormat::Png);
    WriteFile(work_ / "full.png", {MakePatternPage(kW, kH, 6)}, ImageFileFormat::Png);
    // Invert runs after removal: kept pages come out inverted, removed ones as read.
    ASSERT_EQ(Run("run -p 'PageRemoval THRESHOLD=" + std::to_string(sizes_[1]) +
                  "' -p Invert three.tif blank.png full.png -o out --removed removed"),
              0)
        << err_;
    ASSERT_EQ(imagefile::CountPages((work_ / "removed/three.tif").string()), 2);
    ExpectPage(work_ / "removed/three.tif", 0, kW, kH, [](int x, int y) { return ThreePixel(1, x, y); });
    ExpectPage(work_ / "removed/three.tif", 1, kW, kH, [](int x, int y) { return ThreePixel(3, x, y); });
    ExpectPage(work_ / "removed/blank.png", 0, kW, kH, [](int, int) { return 240u; });
    EXPECT_FALSE(fs::exists(work_ / "removed/full.png"));
    EXPECT_EQ(std::distance(fs::directory_iterator(work_ / "removed"), fs::directory_iterator()), 2);
    ExpectPage(work_ / "out/three.tif", 0, kW, kH, [](int x, int y) { return 255u - ThreePixel(2, x, y); });
    ExpectPage(work_ / "out/full.png", 0, kW, kH, [](int x, int y) { return 255u - PatternAt(x, y, 6); });
    EXPECT_FALSE(fs::exists(work_ / "out/blank.png"));
    EXPECT_NE(out_.find("Wrote 2 file(s) of removed pages to removed"), std::string::npos) << out_;

    EXPECT_EQ(Run("run -p PageRemoval three.tif -o out --removed out"), 2);
    EXPECT_NE(err_.find("is the output folder"), std::string::npos) << err_;
    EXPECT_EQ(Run("run -p PageRemoval three.tif -o out --removed ."), 2);
    EXPECT_NE(err_.find("would overwrite the input"), std::string::npos) << err_;
}

TEST_F(PageRemovalCommandTest, TwoWorkersGiveTheSameResult) {
    std::string inputs = " three.tif";
    for (int seed = 1; seed <= 4; ++seed) {
        const std::string name = "p" + std::to_string(seed) + ".tif";
        WriteFile(work_ / name, {MakeUniformPage(200), MakePatternPage(kW, kH, seed)}, ImageFileFormat::Tiff);
        inputs += " " + name;
    }
    const std::string removal = "-p 'PageRemoval THRESHOLD=" + std::to_string(sizes_[1]) + "' -p Invert";
    ASSERT_EQ(Run("run -j 1 " + removal + inputs + " -o out1 --removed rem1 --report r.json"), 0) << err_;
    const std::vector<std::string> once = Removals();
    EXPECT_EQ(once.size(), 6u);
    ASSERT_EQ(Run("run -j 2 " + removal + inputs + " -o out2 --removed rem2 --report r.json"), 0) << err_;
    EXPECT_EQ(Removals(), once);
    for (const char* name : {"three.tif", "p1.tif", "p2.tif", "p3.tif", "p4.tif"}) {
        EXPECT_EQ(ReadText(work_ / "out1" / name), ReadText(work_ / "out2" / name)) << name;
        EXPECT_EQ(ReadText(work_ / "rem1" / name), ReadText(work_ / "rem2" / name)) << name;
    }
}

TEST_F(PageRemovalCommandTest, FolderForWorkingCopiesThatCannotBeMadeKeepsEveryPage) {
    EXPECT_EQ(Leafmend("run -p 'PageRemoval THRESHOLD=1000000' three.tif -o out", "TMPDIR=missing "), 1);
    EXPECT_NE(err_.find("cannot make a folder for the pages' working copies"), std::string::npos) << err_;
    EXPECT_EQ(imagefile::CountPages((work_ / "out/three.tif").string()), 3);
}

// A long run is ended by a signal while it has a working copies' folder.
class InterruptedRunTest : public PageRemovalCommandTest, public ::testing::WithParamInterface<int> {};

TEST_P(InterruptedRunTest, NoWorkingCopiesFolderOutlivesTheNextRun) {
    std::vector<int> pages;
    for (int i = 0; i < 60; ++i) pages.push_back(MakePatternPage(600, 600, i));
    WriteFile(work_ / "long.tif", pages, ImageFileFormat::Tiff);
    const std::string command = "cd '" + work_.string() + "' && TMPDIR=tmp exec " + std::string(LEAFMEND_BIN) +
                                " run -q -p 'PageRemoval THRESHOLD=1' -p Rotate long.tif -o out >/dev/null 2>&1";
    const pid_t run = ::fork();
    if (run == 0) {
        ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ASSERT_GT(run, 0);
    bool seen = false;
    for (int i = 0; i < 20000 && !seen; ++i) {
        seen = !fs::is_empty(work_ / "tmp");
        if (!seen) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ::kill(run, GetParam());
    int status = 0;
    ::waitpid(run, &status, 0);
    ASSERT_TRUE(seen) << "the run made no working copies folder";
    // SIGTERM ends the run as interrupted (130) once its temporaries are gone.
    if (GetParam() == SIGKILL)
        ASSERT_TRUE(WIFSIGNALED(status)) << "the run ended before the signal";
    else
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 130) << "the run ended before the signal";
    if (GetParam() == SIGKILL) {
        EXPECT_FALSE(fs::is_empty(work_ / "tmp"));  // nothing could clean up
        WriteFile(work_ / "one.png", {MakeUniformPage(9)}, ImageFileFormat::Png);
        ASSERT_EQ(Run("run -p Invert one.png -o out"), 0) << err_;
        EXPECT_NE(err_.find("left behind by an interrupted run"), std::string::npos) << err_;
    }
    EXPECT_TRUE(fs::is_empty(work_ / "tmp")) << Listing(work_ / "tmp");
}

INSTANTIATE_TEST_SUITE_P(Signals, InterruptedRunTest, ::testing::Values(SIGTERM, SIGKILL), [](const auto& info) {
    return std::string(info.param == SIGTERM ? "Sigterm" : info.param == SIGINT ? "Sigint" : "Sigkill");
});

}  // namespace
