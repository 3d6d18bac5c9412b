// The built leafmend end to end on pages with a known pattern: the pixels it
// writes, its page filter, parallel workers, the job loader's type checks,
// the report, dry runs, input lists and its exit codes.
#include "tests/cli/CommandTestSupport.h"

#include <nlohmann/json.hpp>

namespace {

constexpr int kW = 40, kH = 30;

// Rotate's default quarter turn is clockwise: output (x, y) comes from input (y, H - 1 - x).
unsigned Turned(int seed, int x, int y) { return PatternAt(y, kH - 1 - x, seed); }

std::string RotateJob(const char* type, const char* value) {
    return std::string(
               "<Job>\n<Process Name=\"Rotate\" ProgID=\"ZRLeafmendClient91.Rotate.1\">\n"
               "\t<PageRange Range=\"\" />\n\t<PropertyBag>\n"
               "\t\t<Property Name=\"RotationAngle\" Type=\"") +
           type + "\" Value=\"" + value + "\" />\n\t</PropertyBag>\n</Process>\n</Job>\n";
}

TEST_F(CommandTest, GoodRunWritesEveryPageTurned) {
    WritePatternFile(work_ / "two.tif", kW, kH, {1, 2}, ImageFileFormat::Tiff);
    WritePatternFile(work_ / "one.png", kW, kH, {3}, ImageFileFormat::Png);
    ASSERT_EQ(Leafmend("run -q -p Rotate two.tif one.png -o out"), 0) << err_;
    ExpectPage(work_ / "out/two.tif", 0, kH, kW, [](int x, int y) { return Turned(1, x, y); });
    ExpectPage(work_ / "out/two.tif", 1, kH, kW, [](int x, int y) { return Turned(2, x, y); });
    EXPECT_EQ(imagefile::CountPages((work_ / "out/two.tif").string()), 2);
    ExpectPage(work_ / "out/one.png", 0, kH, kW, [](int x, int y) { return Turned(3, x, y); });
}

TEST_F(CommandTest, ParallelWorkersWriteTheKnownResult) {
    std::string inputs;
    for (int seed = 1; seed <= 5; ++seed) {
        WritePatternFile(work_ / ("p" + std::to_string(seed) + ".png"), kW, kH, {seed}, ImageFileFormat::Png);
        inputs += " p" + std::to_string(seed) + ".png";
    }
    for (const char* jobs : {"1", "3"}) {
        const std::string out = std::string("out") + jobs;
        ASSERT_EQ(Leafmend(std::string("run -q -j ") + jobs + " -p Invert -p Rotate" + inputs + " -o " + out), 0)
            << err_;
        for (int seed = 1; seed <= 5; ++seed)
            ExpectPage(work_ / out / ("p" + std::to_string(seed) + ".png"), 0, kH, kW,
                       [seed](int x, int y) { return 255u - Turned(seed, x, y); });
    }
}

TEST_F(CommandTest, PageRangeLimitsAProcessToItsPages) {
    WritePatternFile(work_ / "three.tif", kW, kH, {1, 2, 3}, ImageFileFormat::Tiff);
    std::ofstream(work_ / "job.xml") << "<Job><Process Name=\"Invert\" ProgID=\"ZRLeafmendClient91.Invert.1\">"
                                        "<PageRange Range=\"2\" /><PropertyBag /><ZoneManager /></Process></Job>";
    ASSERT_EQ(Leafmend("run -q --job job.xml three.tif -o out"), 0) << err_;
    ExpectPage(work_ / "out/three.tif", 0, kW, kH, [](int x, int y) { return PatternAt(x, y, 1); });
    ExpectPage(work_ / "out/three.tif", 1, kW, kH, [](int x, int y) { return 255u - PatternAt(x, y, 2); });
    ExpectPage(work_ / "out/three.tif", 2, kW, kH, [](int x, int y) { return PatternAt(x, y, 3); });
}

TEST_F(CommandTest, RemovedPageIsLeftOutOfTheOutput) {
    WritePatternFile(work_ / "three.tif", kW, kH, {1, 2, 3}, ImageFileFormat::Tiff);
    ASSERT_EQ(Leafmend("run -q -p 'PageRemoval THRESHOLD=0' -p Invert three.tif -o out --report r.json"), 0) << err_;
    ASSERT_EQ(imagefile::CountPages((work_ / "out/three.tif").string()), 2);
    ExpectPage(work_ / "out/three.tif", 0, kW, kH, [](int x, int y) { return 255u - PatternAt(x, y, 2); });
    ExpectPage(work_ / "out/three.tif", 1, kW, kH, [](int x, int y) { return 255u - PatternAt(x, y, 3); });
    const nlohmann::json report = nlohmann::json::parse(ReadText(work_ / "r.json"));
    ASSERT_EQ(report.size(), 3u);
    EXPECT_EQ(report[0]["removed"], true);
    EXPECT_EQ(report[0]["ran"], nlohmann::json::array({"PageRemoval"}));
    EXPECT_EQ(report[1]["removed"], false);
}

TEST_F(CommandTest, SavedAngleOfAnotherTypeIsConverted) {
    WritePatternFile(work_ / "page.png", kW, kH, {4}, ImageFileFormat::Png);
    std::ofstream(work_ / "job.xml") << RotateJob("VT_BSTR", "180");
    ASSERT_EQ(Leafmend("run -q --job job.xml page.png -o out"), 0) << err_;
    ExpectPage(work_ / "out/page.png", 0, kW, kH, [](int x, int y) { return PatternAt(kW - 1 - x, kH - 1 - y, 4); });
}

TEST_F(CommandTest, SavedValueThatCannotBecomeItsTypeRefusesTheJob) {
    WritePatternFile(work_ / "page.png", kW, kH, {4}, ImageFileFormat::Png);
    std::ofstream(work_ / "job.xml") << RotateJob("VT_BSTR", "abc");
    EXPECT_EQ(Leafmend("run -q --job job.xml page.png -o out"), 2);
    for (const char* part : {"job.xml:5:", "RotationAngle", "VT_BSTR", "VT_I2"})
        EXPECT_NE(err_.find(part), std::string::npos) << part << " missing from: " << err_;
    EXPECT_FALSE(fs::exists(work_ / "out/page.png"));
}

TEST_F(CommandTest, ListAndShowHelpGiveEveryPropertyItsMeaning) {
    ASSERT_EQ(Leafmend("list"), 0) << err_;
    std::istringstream lines(out_);
    std::string line, previous;
    int properties = 0;
    while (std::getline(lines, line)) {
        if (previous.find("  default ") != std::string::npos) {
            ++properties;
            EXPECT_TRUE(line.starts_with("        ") && line.size() > 12) << "no meaning after: " << previous;
        }
        previous = line;
    }
    EXPECT_GE(properties, 4);
    ASSERT_EQ(Leafmend("show Rotate --help"), 0) << err_;
    EXPECT_NE(out_.find("RotationAngle  VT_I2  default 90\n        "), std::string::npos) << out_;
}

TEST_F(CommandTest, ReportMayNotReplaceAnInputOrAnOutput) {
    WritePatternFile(work_ / "b.png", kW, kH, {5}, ImageFileFormat::Png);
    const std::string before = ReadText(work_ / "b.png");
    EXPECT_EQ(Leafmend("run -q -p Invert b.png -o out --report b.png"), 2);
    EXPECT_NE(err_.find("is an input file"), std::string::npos) << err_;
    EXPECT_EQ(ReadText(work_ / "b.png"), before);
    EXPECT_EQ(Leafmend("run -q -p Invert b.png -o out --report out/b.png"), 2);
    EXPECT_NE(err_.find("is where the output of"), std::string::npos) << err_;
    EXPECT_EQ(Leafmend("run -q -p Invert b.png -o out --report out"), 2);
    EXPECT_FALSE(fs::exists(work_ / "out/b.png"));
}

TEST_F(CommandTest, DryRunChecksAndWritesNothing) {
    WritePatternFile(work_ / "good.png", kW, kH, {6}, ImageFileFormat::Png);
    std::ofstream(work_ / "bad.png") << "not a picture";
    EXPECT_EQ(Leafmend("run --dry-run -p Invert good.png -o out --report r.json"), 0) << err_;
    EXPECT_NE(out_.find("Nothing was written"), std::string::npos) << out_;
    EXPECT_EQ(Leafmend("run --dry-run -p Invert good.png bad.png -o out"), 1);
    EXPECT_NE(err_.find("bad.png: not a TIFF, PNG or JPEG"), std::string::npos) << err_;
    EXPECT_EQ(Leafmend("run --dry-run -p Invert good.png"), 0) << err_;  // no output folder needed
    EXPECT_EQ(Leafmend("run --dry-run -p Sharpen good.png"), 2);
    std::ofstream(work_ / "job.xml") << RotateJob("VT_I2", "ninety");
    EXPECT_EQ(Leafmend("run --dry-run --job job.xml"), 2);  // the job alone
    EXPECT_NE(err_.find("job.xml:5: Property 'RotationAngle'"), std::string::npos) << err_;
    std::ofstream(work_ / "job.xml") << RotateJob("VT_I2", "270");
    EXPECT_EQ(Leafmend("run --dry-run --job job.xml"), 0) << err_;
    EXPECT_FALSE(fs::exists(work_ / "out"));
    EXPECT_FALSE(fs::exists(work_ / "r.json"));
}

TEST_F(CommandTest, InputsComeFromStandardInputAndListFiles) {
    WritePatternFile(work_ / "a.png", kW, kH, {7}, ImageFileFormat::Png);
    WritePatternFile(work_ / "b.png", kW, kH, {8}, ImageFileFormat::Png);
    std::ofstream(work_ / "list.txt") << "b.png\n\n";
    ASSERT_EQ(Leafmend("run -q -p Invert - --from-file list.txt -o out", "echo a.png | "), 0) << err_;
    ExpectPage(work_ / "out/a.png", 0, kW, kH, [](int x, int y) { return 255u - PatternAt(x, y, 7); });
    ExpectPage(work_ / "out/b.png", 0, kW, kH, [](int x, int y) { return 255u - PatternAt(x, y, 8); });
}

TEST_F(CommandTest, InputStartingWithDashNeedsDoubleDash) {
    WritePatternFile(work_ / "-x.png", kW, kH, {9}, ImageFileFormat::Png);
    EXPECT_EQ(Leafmend("run -q -p Invert -o out -x.png"), 2);
    EXPECT_NE(err_.find("put it after --"), std::string::npos) << err_;
    ASSERT_EQ(Leafmend("run -q -p Invert -o out -- -x.png"), 0) << err_;
    ExpectPage(work_ / "out/-x.png", 0, kW, kH, [](int x, int y) { return 255u - PatternAt(x, y, 9); });
}

struct UsageCase {
    const char* label;
    const char* arguments;
};

void PrintTo(const UsageCase& value, std::ostream* out) { *out << value.label; }

class UsageErrorTest : public CommandTest, public ::testing::WithParamInterface<UsageCase> {};

TEST_P(UsageErrorTest, ExitsWithTwo) {
    WritePatternFile(work_ / "p.png", kW, kH, {1}, ImageFileFormat::Png);
    EXPECT_EQ(Leafmend(GetParam().arguments), 2) << err_;
    EXPECT_FALSE(fs::exists(work_ / "out"));
}

INSTANTIATE_TEST_SUITE_P(Cases, UsageErrorTest,
                         ::testing::Values(UsageCase{"NoOutput", "run -p Invert p.png"},
                                           UsageCase{"NoInput", "run -p Invert -o out"},
                                           UsageCase{"UnknownOption", "run -p Invert --frobnicate p.png -o out"},
                                           UsageCase{"NoSubcommand", ""},
                                           UsageCase{"BadJobs", "run -j 0 -p Invert p.png -o out"},
                                           UsageCase{"UnknownProcess", "run -p Sharpen p.png -o out"},
                                           UsageCase{"MissingJob", "run --job nothere.xml p.png -o out"}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(CommandTest, StaleTemporaryOfAKilledRunIsNamedAndRemoved) {
    WritePatternFile(work_ / "p.png", kW, kH, {1}, ImageFileFormat::Png);
    // A pid no process has: a child that has already exited.
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    fs::create_directories(work_ / "out");
    const std::string stale = ".p.png.leafmend-" + std::to_string(child) + "-AbC123";
    const std::string live = ".p.png.leafmend-" + std::to_string(::getpid()) + "-AbC123";
    std::ofstream(work_ / "out" / stale) << "half";
    std::ofstream(work_ / "out" / live) << "another run's";
    // A page writer's temporary file (no run id in its name) that no process holds open.
    const std::string writer = ".p.png.leafmend-Zz9Yy8";
    std::ofstream(work_ / "out" / writer) << "half";
    ASSERT_EQ(Leafmend("run -q -p Invert p.png -o out"), 0) << err_;
    EXPECT_NE(err_.find("warning: removed out/" + stale), std::string::npos) << err_;
    EXPECT_FALSE(fs::exists(work_ / "out" / stale));
    EXPECT_NE(err_.find("warning: removed out/" + writer), std::string::npos) << err_;
    EXPECT_FALSE(fs::exists(work_ / "out" / writer));
    EXPECT_TRUE(fs::exists(work_ / "out" / live));
}

TEST_F(CommandTest, ReportEscapesNamesThatAreNotUtf8) {
    const std::string name = "caf\xE9.png";
    WritePatternFile(work_ / name, kW, kH, {2}, ImageFileFormat::Png);
    ASSERT_EQ(Leafmend("run -q -p Invert '" + name + "' -o out --report r.json"), 0) << err_;
    const nlohmann::json report = nlohmann::json::parse(ReadText(work_ / "r.json"));
    ASSERT_EQ(report.size(), 1u);
    EXPECT_EQ(report[0]["file"], "caf\\xE9.png");
    EXPECT_TRUE(fs::exists(work_ / "out" / name));
}

TEST_F(CommandTest, RarelyMeantSettingsAreWarnedAndKept) {
    WritePatternFile(work_ / "p.png", kW, kH, {1}, ImageFileFormat::Png);
    ASSERT_EQ(Leafmend("run -q -p 'Deskew DetectionType=lines' -p 'Invert zone=0,0,-5,4' p.png -o out --report "
                       "r.json"),
              0)
        << err_;
    EXPECT_NE(err_.find("warning: Deskew: DetectionType 'lines' is none of Lines, Text, Angle"), std::string::npos)
        << err_;
    EXPECT_NE(err_.find("warning: Invert: zone 1 has width -5"), std::string::npos) << err_;
    const nlohmann::json report = nlohmann::json::parse(ReadText(work_ / "r.json"));
    int warnings = 0;
    for (const auto& entry : report) warnings += entry.contains("warning");
    EXPECT_EQ(warnings, 2);
    // Behaviour kept: Deskew leaves the page alone, the empty zone inverts nothing.
    ExpectPage(work_ / "out/p.png", 0, kW, kH, [](int x, int y) { return PatternAt(x, y, 1); });
}

}  // namespace
