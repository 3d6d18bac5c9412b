// Hostile inputs, built here in code, against the built leafmend: each case
// checks the exit code and the message, that no output appears for a file
// that cannot be read, that the inputs are unchanged (hash), that no file of
// ours is left behind, and peak memory where the case is about memory.
#include "tests/cli/CommandTestSupport.h"
#include "tests/robustness/LeafmendRun.h"

#include <nlohmann/json.hpp>

#include <map>

namespace {

// AddressSanitizer reserves terabytes of address space and keeps freed
// memory in quarantine: memory limits and peaks mean nothing under it.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// Three 8-bit pattern pages of 300 x 200 in one TIFF.
void ThreePageTiff(const fs::path& path) { WritePatternFile(path, 300, 200, {1, 2, 3}, ImageFileFormat::Tiff); }

void CutTo(const fs::path& path, std::uintmax_t size) { fs::resize_file(path, size); }

// A little-endian TIFF of one 8-bit page that declares width x height and
// holds almost no data.
void DeclaredOnlyTiff(const fs::path& path, std::uint32_t width, std::uint32_t height) {
    std::string bytes("II*\0\x08\0\0\0", 8);
    auto put16 = [&](unsigned v) { bytes += static_cast<char>(v & 0xFF), bytes += static_cast<char>(v >> 8); };
    auto put32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    const struct {
        unsigned tag, type;
        std::uint32_t value;
    } entries[] = {{256, 4, width}, {257, 4, height}, {258, 3, 8},
                   {259, 3, 1},     {262, 3, 1},      {273, 4, 200},
                   {277, 3, 1},     {278, 4, height}, {279, 4, width * height}};
    put16(9);
    for (const auto& e : entries) {
        put16(e.tag);
        put16(e.type);
        put32(1);
        put32(e.value);
    }
    put32(0);
    bytes.resize(200, '\0');
    bytes += std::string(16, '\x7F');
    std::ofstream(path, std::ios::binary) << bytes;
}

class RobustnessTest : public CommandTest {
protected:
    void SetUp() override {
        CommandTest::SetUp();
        fs::create_directories(work_ / "in");
    }
    RunResult Run(std::vector<std::string> args, const RunLimits& limits = {}, const std::string& input = "",
                  const std::function<void(pid_t)>& watch = nullptr) {
        return RunProgram(LEAFMEND_BIN, std::move(args), work_, limits, input, watch);
    }
    std::map<std::string, std::size_t> InputHashes() {
        std::map<std::string, std::size_t> hashes;
        for (const auto& entry : fs::recursive_directory_iterator(work_ / "in"))
            if (entry.is_regular_file())
                hashes[entry.path().string()] = std::hash<std::string>{}(ReadText(entry.path()));
        return hashes;
    }
    // Files of ours the run should not have left in `folder`: temporaries.
    std::vector<std::string> Leftovers(const fs::path& folder) {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(folder, ec)) {
            const std::string name = entry.path().filename().string();
            if (name.starts_with(".") && name != ".run-stdin" && name != ".run-stdout" && name != ".run-stderr")
                names.push_back(name);
        }
        return names;
    }
};

struct Hostile {
    const char* label;
    // Builds the inputs under in/ and answers the arguments after "run".
    std::function<std::vector<std::string>(const fs::path& in)> make;
    int exitCode;
    const char* message;
    std::vector<const char*> noOutput;  // output names that must not exist
    RunLimits limits;
    long maxPeakMiB;  // 0: not a memory case
};

void PrintTo(const Hostile& value, std::ostream* out) { *out << value.label; }

std::vector<Hostile> Cases() {
    const std::vector<std::string> invert = {"run", "-q", "-p", "Invert", "-o", "out"};
    auto with = [invert](std::vector<std::string> more) {
        std::vector<std::string> args = invert;
        args.insert(args.end(), more.begin(), more.end());
        return args;
    };
    RunLimits tight;
    tight.addressSpace = 1024ull << 20;
    RunLimits brief;
    brief.seconds = 30;
    return {
        {"TiffCutInHalf",
         [with](const fs::path& in) {
             ThreePageTiff(in / "multi.tif");
             CutTo(in / "multi.tif", fs::file_size(in / "multi.tif") / 2);
             return with({"in/multi.tif"});
         },
         1,
         "in/multi.tif",
         {"multi.tif"},
         {},
         0},
        {"TiffCutShortOfItsEnd",
         [with](const fs::path& in) {
             ThreePageTiff(in / "multi.tif");
             CutTo(in / "multi.tif", fs::file_size(in / "multi.tif") - 100);
             return with({"in/multi.tif"});
         },
         1,
         "in/multi.tif",
         {"multi.tif"},
         {},
         0},
        {"NotAnImage",
         [with](const fs::path& in) {
             std::ofstream(in / "text.png") << "not an image at all";
             return with({"in/text.png"});
         },
         1,
         "in/text.png: not a TIFF, PNG or JPEG",
         {"text.png"},
         {},
         0},
        {"EmptyFile",
         [with](const fs::path& in) {
             std::ofstream(in / "empty.tif");
             return with({"in/empty.tif"});
         },
         1,
         "in/empty.tif",
         {"empty.tif"},
         {},
         0},
        {"TruncatedPng",
         [with](const fs::path& in) {
             WritePatternFile(in / "cut.png", 300, 200, {4}, ImageFileFormat::Png);
             CutTo(in / "cut.png", fs::file_size(in / "cut.png") / 2);
             return with({"in/cut.png"});
         },
         1,
         "in/cut.png",
         {"cut.png"},
         {},
         0},
        {"Folder",
         [with](const fs::path& in) {
             fs::create_directories(in / "pages.tif");
             return with({"in/pages.tif"});
         },
         1,
         "in/pages.tif: is a folder",
         {"pages.tif"},
         {},
         0},
        {"Fifo",
         [with](const fs::path& in) {
             ::mkfifo((in / "pipe.png").c_str(), 0600);
             return with({"in/pipe.png"});
         },
         1,
         "in/pipe.png: is a FIFO (special file)",
         {"pipe.png"},
         brief,
         0},
        {"Device",
         [with](const fs::path&) { return with({"/dev/zero"}); },
         1,
         "/dev/zero: is a device (special file)",
         {"zero"},
         brief,
         0},
        {"DeclaresFourGigapixels",
         [with](const fs::path& in) {
             DeclaredOnlyTiff(in / "big.tif", 60000, 60000);
             return with({"in/big.tif"});
         },
         1,
         "in/big.tif",
         {"big.tif"},
         tight,
         300},
        {"ReportOverInput",
         [](const fs::path& in) {
             WritePatternFile(in / "b.png", 30, 20, {1}, ImageFileFormat::Png);
             return std::vector<std::string>{"run", "-p", "Invert", "in/b.png", "-o", "out", "--report", "in/b.png"};
         },
         2,
         "is an input file",
         {"b.png"},
         {},
         0},
        {"ReportOverOutput",
         [](const fs::path& in) {
             WritePatternFile(in / "b.png", 30, 20, {1}, ImageFileFormat::Png);
             return std::vector<std::string>{"run", "-p", "Invert", "in/b.png", "-o", "out", "--report", "out/b.png"};
         },
         2,
         "is where the output of in/b.png goes",
         {"b.png"},
         {},
         0},
        {"DashNameWithoutDoubleDash",
         [](const fs::path& in) {
             WritePatternFile(in / "-x.tif", 30, 20, {1}, ImageFileFormat::Tiff);
             return std::vector<std::string>{"run", "-p", "Invert", "-o", "out", "-x.tif"};
         },
         2,
         "put it after --",
         {"-x.tif"},
         {},
         0},
        {"JobNested200000Deep",
         [](const fs::path& in) {
             std::ofstream job(in / "deep.xml");
             job << "<Job><Process ProgID=\"ZRLeafmendClient91.Invert.1\">";
             for (int i = 0; i < 200000; ++i) job << "<a>";
             for (int i = 0; i < 200000; ++i) job << "</a>";
             job << "</Process></Job>";
             WritePatternFile(in / "p.png", 30, 20, {1}, ImageFileFormat::Png);
             return std::vector<std::string>{"run", "--job", "in/deep.xml", "in/p.png", "-o", "out"};
         },
         2,
         "in/deep.xml:1: elements nested deeper than 64 levels",
         {"p.png"},
         brief,
         0},
        {"JobWith10000Processes",
         [](const fs::path& in) {
             std::ofstream job(in / "many.xml");
             job << "<Job>\n";
             for (int i = 0; i < 10000; ++i) job << "<Process ProgID=\"ZRLeafmendClient91.Invert.1\"/>\n";
             job << "</Job>";
             WritePatternFile(in / "p.png", 30, 20, {1}, ImageFileFormat::Png);
             return std::vector<std::string>{"run", "--job", "in/many.xml", "in/p.png", "-o", "out"};
         },
         2,
         "in/many.xml:258: more than 256 Process elements",
         {"p.png"},
         brief,
         0},
        {"OutputFolderIsAFile",
         [](const fs::path& in) {
             WritePatternFile(in / "p.png", 30, 20, {1}, ImageFileFormat::Png);
             std::ofstream(in / "../outfile") << "x";
             return std::vector<std::string>{"run", "-q", "-p", "Invert", "in/p.png", "-o", "outfile"};
         },
         4,
         "cannot create the output folder outfile",
         {},
         {},
         0},
        {"FolderAtTheOutputName",
         [with](const fs::path& in) {
             WritePatternFile(in / "p.png", 30, 20, {1}, ImageFileFormat::Png);
             fs::create_directories(in / "../out/p.png/inside");
             return with({"in/p.png"});
         },
         4,
         "cannot replace out/p.png: a folder has that name",
         {},
         {},
         0},
    };
}

class HostileInputTest : public RobustnessTest, public ::testing::WithParamInterface<Hostile> {};

TEST_P(HostileInputTest, FailsCleanly) {
    const Hostile& hostile = GetParam();
    const std::vector<std::string> args = hostile.make(work_ / "in");
    const auto before = InputHashes();
    RunLimits limits = hostile.limits;
    if (kSanitized) limits.addressSpace = RLIM_INFINITY;
    const RunResult result = Run(args, limits);
    EXPECT_FALSE(result.timedOut) << "still running after " << hostile.limits.seconds << " s";
    EXPECT_EQ(result.exitCode, hostile.exitCode) << result.err;
    EXPECT_NE(result.err.find(hostile.message), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("Success"), std::string::npos) << result.err;
    for (const char* name : hostile.noOutput) EXPECT_FALSE(fs::exists(work_ / "out" / name)) << name;
    EXPECT_EQ(InputHashes(), before);
    EXPECT_EQ(Leftovers(work_ / "out"), std::vector<std::string>{});
    EXPECT_EQ(Leftovers(work_ / "in"), std::vector<std::string>{});
    if (hostile.maxPeakMiB && !kSanitized) {
        EXPECT_LT(result.peakKiB / 1024, hostile.maxPeakMiB);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, HostileInputTest, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(RobustnessTest, GoodFilesOfABatchAreStillWrittenBesideBadOnes) {
    WritePatternFile(work_ / "in/good.png", 30, 20, {5}, ImageFileFormat::Png);
    std::ofstream(work_ / "in/bad.png") << "junk";
    fs::create_directories(work_ / "in/dir.png");
    const RunResult result = Run({"run", "-q", "-p", "Invert", "in/bad.png", "in/dir.png", "in/good.png", "-o", "out"});
    EXPECT_EQ(result.exitCode, 1);
    ExpectPage(work_ / "out/good.png", 0, 30, 20, [](int x, int y) { return 255u - PatternAt(x, y, 5); });
    EXPECT_EQ(Leftovers(work_ / "out"), std::vector<std::string>{});
}

TEST_F(RobustnessTest, LinkAtTheOutputNameIsReplacedNotFollowed) {
    WritePatternFile(work_ / "in/p.png", 30, 20, {6}, ImageFileFormat::Png);
    std::ofstream(work_ / "victim") << "precious";
    fs::create_directories(work_ / "out");
    fs::create_symlink(work_ / "victim", work_ / "out/p.png");
    const RunResult result = Run({"run", "-q", "-p", "Invert", "in/p.png", "-o", "out"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(ReadText(work_ / "victim"), "precious");
    EXPECT_FALSE(fs::is_symlink(work_ / "out/p.png"));
    ExpectPage(work_ / "out/p.png", 0, 30, 20, [](int x, int y) { return 255u - PatternAt(x, y, 6); });
}

TEST_F(RobustnessTest, ReportThatDoesNotFitIsAnErrorAndLeavesNothing) {
    // Long input names make the report larger than the output file; a file
    // size limit between the two stands in for a disk that fills up.
    const std::string name = std::string(200, 'n') + ".tif";
    WritePatternFile(work_ / "in" / name, 8, 8, std::vector<int>(40, 1), ImageFileFormat::Tiff);
    const std::vector<std::string> args = {"run", "-q",  "-p",       "Invert", "in/" + name,
                                           "-o",  "out", "--report", "r.json"};
    ASSERT_EQ(Run(args).exitCode, 0);
    const auto output = fs::file_size(work_ / "out" / name), report = fs::file_size(work_ / "r.json");
    ASSERT_GT(report, output + 2048) << "the report must be the larger file";
    fs::remove_all(work_ / "out");
    fs::remove(work_ / "r.json");
    RunLimits limits;
    limits.fileSize = output + 1024;
    const RunResult result = Run(args, limits);
    EXPECT_EQ(result.exitCode, 4) << result.err;  // output not writable
    EXPECT_NE(result.err.find("cannot write r.json: File too large"), std::string::npos) << result.err;
    EXPECT_FALSE(fs::exists(work_ / "r.json"));
    EXPECT_EQ(Leftovers(work_), std::vector<std::string>{});
    EXPECT_EQ(Leftovers(work_ / "out"), std::vector<std::string>{});
}

TEST_F(RobustnessTest, TerminatedRunRemovesItsTemporaryFiles) {
    for (int i = 0; i < 6; ++i)
        WritePatternFile(work_ / "in" / ("p" + std::to_string(i) + ".tif"), 2500, 2500, {i, i + 1},
                         ImageFileFormat::Tiff);
    for (int signal : {SIGTERM, SIGINT}) {
        fs::remove_all(work_ / "out");
        bool sent = false;
        const RunResult result = Run({"run", "-q", "-p", "Rotate RotationAngle=3", "-j", "2", "in/p0.tif", "in/p1.tif",
                                      "in/p2.tif", "in/p3.tif", "in/p4.tif", "in/p5.tif", "-o", "out"},
                                     {}, "", [&](pid_t child) {
                                         if (!sent && !Leftovers(work_ / "out").empty()) {
                                             ::kill(child, signal);
                                             sent = true;
                                         }
                                     });
        ASSERT_TRUE(sent) << "the run ended before a temporary file was seen";
        EXPECT_EQ(result.exitCode, 130);  // interrupted, whichever signal
        EXPECT_EQ(Leftovers(work_ / "out"), std::vector<std::string>{});
    }
}

TEST_F(RobustnessTest, PagesAreStreamedNotHeld) {
    // Twelve colour pages peak at about what one does: a page at a time.
    if (kSanitized) GTEST_SKIP() << "peak memory is not measurable under AddressSanitizer";
    const int side = 1600;  // 7.3 MiB a page at 24 bits
    std::vector<int> handles;
    for (int i = 0; i < 12; ++i) handles.push_back(ImageWrapper::create_handle_from_scratch(side, side, 24));
    ASSERT_GE(imagefile::SavePages((work_ / "in/twelve.tif").string(), handles, ImageFileFormat::Tiff), 0);
    ASSERT_GE(imagefile::SavePages((work_ / "in/one.tif").string(), {handles[0]}, ImageFileFormat::Tiff), 0);
    for (int handle : handles) ImageWrapper::delete_bitmap(handle);
    const RunResult one = Run({"run", "-q", "-p", "Invert", "in/one.tif", "-o", "out1"});
    const RunResult twelve = Run({"run", "-q", "-p", "Invert", "in/twelve.tif", "-o", "out12"});
    ASSERT_EQ(one.exitCode, 0) << one.err;
    ASSERT_EQ(twelve.exitCode, 0) << twelve.err;
    EXPECT_EQ(imagefile::CountPages((work_ / "out12/twelve.tif").string()), 12);
    const long pageKiB = side * side * 3 / 1024;
    EXPECT_LT(twelve.peakKiB - one.peakKiB, 3 * pageKiB)
        << "one page: " << one.peakKiB / 1024 << " MiB, twelve: " << twelve.peakKiB / 1024 << " MiB";
}

TEST_F(RobustnessTest, WorkersHoldABoundedNumberOfPages) {
    // Two workers on 24 colour pages peak at what they do on 6: the page
    // queue holds a few pages, however long the file.
    if (kSanitized) GTEST_SKIP() << "peak memory is not measurable under AddressSanitizer";
    const int side = 800;  // 1.8 MiB a page at 24 bits
    std::vector<int> handles;
    for (int i = 0; i < 24; ++i) handles.push_back(ImageWrapper::create_handle_from_scratch(side, side, 24));
    ASSERT_GE(imagefile::SavePages((work_ / "in/long.tif").string(), handles, ImageFileFormat::Tiff), 0);
    ASSERT_GE(imagefile::SavePages((work_ / "in/short.tif").string(), {handles.begin(), handles.begin() + 6},
                                   ImageFileFormat::Tiff),
              0);
    for (int handle : handles) ImageWrapper::delete_bitmap(handle);
    const RunResult shorter = Run({"run", "-q", "-j", "2", "-p", "Invert", "in/short.tif", "-o", "out6"});
    const RunResult longer = Run({"run", "-q", "-j", "2", "-p", "Invert", "in/long.tif", "-o", "out24"});
    ASSERT_EQ(shorter.exitCode, 0) << shorter.err;
    ASSERT_EQ(longer.exitCode, 0) << longer.err;
    EXPECT_EQ(imagefile::CountPages((work_ / "out24/long.tif").string()), 24);
    const long pageKiB = side * side * 3 / 1024;
    EXPECT_LT(longer.peakKiB - shorter.peakKiB, 4 * pageKiB)
        << "6 pages: " << shorter.peakKiB / 1024 << " MiB, 24: " << longer.peakKiB / 1024 << " MiB";
}

TEST_F(RobustnessTest, SpeckSizeThatErasesThePageIsWarnedAndKept) {
    const int handle = ImageWrapper::create_handle_from_scratch(40, 30, 1);
    BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(handle);
    dib::Bits(dib)[dib::Stride(40, 1) * 10 + 1] = 0;  // a black run of 8 pixels
    ASSERT_GE(imagefile::SavePages((work_ / "in/bw.tif").string(), {handle}, ImageFileFormat::Tiff), 0);
    ImageWrapper::delete_bitmap(handle);
    const RunResult result =
        Run({"run", "-q", "-p", "Despeckle SIZE=1000", "in/bw.tif", "-o", "out", "--report", "r.json"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.err.find("warning: Despeckle: SIZE 1000 is taken as 500"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("every black group is removed"), std::string::npos) << result.err;
    const nlohmann::json report = nlohmann::json::parse(ReadText(work_ / "r.json"));
    bool pageWarned = false;
    for (const auto& entry : report) pageWarned |= entry.contains("warnings");
    EXPECT_TRUE(pageWarned);
    ExpectPage(work_ / "out/bw.tif", 0, 40, 30, [](int, int) { return 1u; });  // erased, as asked
}

}  // namespace
