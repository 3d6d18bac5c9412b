// Batches beyond one worker and one machine, with the built leafmend: shards
// run at once cover every page exactly once, runs killed at random points
// are completed by --resume with valid outputs and a complete report, every
// exit code is provoked, and several workers write exactly what one does.
#include "tests/cli/CommandTestSupport.h"

#include <signal.h>

#include <nlohmann/json.hpp>

#include <chrono>
#include <map>
#include <set>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

struct Input {
    std::string name;
    std::vector<int> seeds;  // one pattern page per seed
};

// Five one-page PNG files and three three-page TIFF files of width x height.
std::vector<Input> WriteBatch(const fs::path& folder, int width, int height) {
    std::vector<Input> batch;
    fs::create_directories(folder);
    for (int i = 0; i < 5; ++i) batch.push_back({"a" + std::to_string(i) + ".png", {i + 1}});
    for (int i = 0; i < 3; ++i)
        batch.push_back({"m" + std::to_string(i) + ".tif", {10 * i + 1, 10 * i + 2, 10 * i + 3}});
    for (const Input& input : batch)
        WritePatternFile(folder / input.name, width, height, input.seeds,
                         input.name.ends_with(".png") ? ImageFileFormat::Png : ImageFileFormat::Tiff);
    return batch;
}

std::string Names(const std::vector<Input>& batch, const std::string& folder) {
    std::string names;
    for (const Input& input : batch) names += " " + folder + "/" + input.name;
    return names;
}

// Every output decodes, with every page the inverted pattern.
void ExpectInverted(const fs::path& out, const std::vector<Input>& batch, int width, int height) {
    for (const Input& input : batch) {
        ASSERT_EQ(imagefile::CountPages((out / input.name).string()), static_cast<int>(input.seeds.size()))
            << input.name;
        for (std::size_t page = 0; page < input.seeds.size(); ++page) {
            const int seed = input.seeds[page];
            ExpectPage(out / input.name, static_cast<int>(page), width, height,
                       [seed](int x, int y) { return 255u - PatternAt(x, y, seed); });
        }
    }
}

// (file name, page) -> how often the reports name it.
std::map<std::pair<std::string, int>, int> PagesReported(const std::vector<fs::path>& reports) {
    std::map<std::pair<std::string, int>, int> seen;
    for (const fs::path& path : reports)
        for (const auto& entry : nlohmann::json::parse(ReadText(path)))
            if (entry.contains("page"))
                seen[{fs::path(entry["file"].get<std::string>()).filename().string(), entry["page"].get<int>()}]++;
    return seen;
}

void ExpectEveryPageOnce(const std::map<std::pair<std::string, int>, int>& seen, const std::vector<Input>& batch) {
    std::size_t pages = 0;
    for (const Input& input : batch)
        for (int page = 1; page <= static_cast<int>(input.seeds.size()); ++page, ++pages) {
            const auto found = seen.find({input.name, page});
            EXPECT_TRUE(found != seen.end() && found->second == 1) << input.name << " page " << page;
        }
    EXPECT_EQ(seen.size(), pages);
}

std::vector<std::string> HiddenFiles(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        if (entry.path().filename().string().starts_with(".")) names.push_back(entry.path().filename().string());
    return names;
}

class ScaleTest : public CommandTest {
protected:
    // Runs a shell script in the work folder; its exit status.
    int Shell(const std::string& script) {
        const int status = std::system(("cd '" + work_.string() + "' || exit 99; " + script).c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // Starts leafmend in the work folder (output to files there); its pid.
    pid_t Start(const std::vector<std::string>& args) {
        const pid_t child = ::fork();
        if (child == 0) {
            if (::chdir(work_.c_str()) != 0 || !std::freopen("killed-out.txt", "w", stdout) ||
                !std::freopen("killed-err.txt", "w", stderr))
                ::_exit(126);
            std::vector<char*> argv{const_cast<char*>(LEAFMEND_BIN)};
            for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
            argv.push_back(nullptr);
            ::execv(LEAFMEND_BIN, argv.data());
            ::_exit(127);
        }
        return child;
    }
    // Waits for a child; its exit code, or 128 + the signal that ended it.
    static int Wait(pid_t child) {
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
};

TEST_F(ScaleTest, ThreeShardsAtOnceWriteEveryPageExactlyOnce) {
    const std::vector<Input> batch = WriteBatch(work_ / "in", 60, 40);
    // The shards see the inputs in different orders: the partition is of the sorted list.
    std::string reversed;
    for (auto it = batch.rbegin(); it != batch.rend(); ++it) reversed += " in/" + it->name;
    const std::string run = std::string(LEAFMEND_BIN) + " run -q -j 2 -p Invert -o out";
    ASSERT_EQ(Shell("(" + run + " --shard 0/3 --report r0.json" + Names(batch, "in") + "; echo $? > rc0) & (" + run +
                    " --shard 1/3 --report r1.json" + reversed + "; echo $? > rc1) & (" + run +
                    " --shard 2/3 --report r2.json" + Names(batch, "in") + "; echo $? > rc2) & wait"),
              0);
    for (const char* rc : {"rc0", "rc1", "rc2"}) EXPECT_EQ(ReadText(work_ / rc), "0\n") << rc;
    ExpectEveryPageOnce(PagesReported({work_ / "r0.json", work_ / "r1.json", work_ / "r2.json"}), batch);
    ExpectInverted(work_ / "out", batch, 60, 40);
    // Sorted: a0 a1 a2 a3 a4 m0 m1 m2, dealt out in turn.
    const auto shard1 = PagesReported({work_ / "r1.json"});
    EXPECT_EQ(shard1.size(), 5u);  // a1, a4 and the three pages of m2
    EXPECT_TRUE(shard1.count({"a1.png", 1}) && shard1.count({"a4.png", 1}) && shard1.count({"m2.tif", 3}));
    EXPECT_EQ(HiddenFiles(work_ / "out"), std::vector<std::string>{});
}

TEST_F(ScaleTest, KilledRunsAreCompletedByResume) {
    constexpr int kWidth = 600, kHeight = 450;
    const std::vector<Input> batch = WriteBatch(work_ / "in", kWidth, kHeight);
    std::vector<std::string> args = {
        "run",    "-q", "-j",     "2",  "-p",     "Invert", "-p",
        "Rotate", "-p", "Rotate", "-p", "Rotate", "-p",     "Rotate"};  // four quarter turns: inverted pattern
    for (const Input& input : batch) args.push_back("in/" + input.name);
    const auto started = Clock::now();
    std::vector<std::string> reference = args;
    reference.insert(reference.end(), {"-o", "ref", "--report", "ref.json"});
    ASSERT_EQ(Wait(Start(reference)), 0) << ReadText(work_ / "killed-err.txt");
    const auto whole = Clock::now() - started;
    ExpectInverted(work_ / "ref", batch, kWidth, kHeight);

    // Killed at one point, resumed and killed by the other signal, then resumed to the end.
    int interrupted = 0;
    const std::vector<std::pair<int, double>> firstKills = {{SIGKILL, 0.2}, {SIGTERM, 0.45}, {SIGKILL, 0.7}};
    for (const auto& [signal, first] : firstKills) {
        const std::string out = "out" + std::to_string(signal) + "-" + std::to_string(int(first * 100));
        std::vector<std::string> resumable = args;
        resumable.insert(resumable.end(), {"-o", out, "--report", out + ".json", "--resume"});
        for (const auto& [sent, share] : {std::pair{signal, first}, std::pair{SIGKILL + SIGTERM - signal, 0.5}}) {
            const pid_t child = Start(resumable);
            std::this_thread::sleep_for(whole * share);
            ::kill(child, sent);
            const int code = Wait(child);
            if (code != 0) {
                interrupted++;
                EXPECT_EQ(code, sent == SIGKILL ? 128 + SIGKILL : 130);
            }
        }
        ASSERT_EQ(Wait(Start(resumable)), 0) << ReadText(work_ / "killed-err.txt");
        ExpectInverted(work_ / out, batch, kWidth, kHeight);
        for (const Input& input : batch)
            EXPECT_EQ(ReadText(work_ / out / input.name), ReadText(work_ / "ref" / input.name)) << input.name;
        ExpectEveryPageOnce(PagesReported({work_ / (out + ".json")}), batch);
        EXPECT_FALSE(fs::exists(work_ / (out + ".json.journal")));
        EXPECT_EQ(HiddenFiles(work_ / out), std::vector<std::string>{});
    }
    EXPECT_GE(interrupted, 3) << "the runs ended before they were killed; nothing was resumed";
}

TEST_F(ScaleTest, ResumeRedoesAHalfWrittenOutputAndKeepsEveryReportEntry) {
    const std::vector<Input> batch = WriteBatch(work_ / "in", 50, 30);
    const std::string run = "run -p Invert" + Names(batch, "in") + " -o out --report r.json";
    ASSERT_EQ(Leafmend(run), 0) << err_;
    // A file cut in half at its own name, and an entry about a file of another run.
    const std::string whole = ReadText(work_ / "out/m1.tif");
    std::ofstream(work_ / "out/m1.tif", std::ios::binary | std::ios::trunc) << whole.substr(0, whole.size() / 2);
    nlohmann::json report = nlohmann::json::parse(ReadText(work_ / "r.json"));
    report.push_back({{"file", "elsewhere/x.png"}, {"page", 1}, {"ok", true}});
    std::ofstream(work_ / "r.json", std::ios::trunc) << report.dump(2);
    const auto untouched = fs::last_write_time(work_ / "out/a3.png");

    ASSERT_EQ(Leafmend(run + " --resume"), 0) << err_;
    EXPECT_NE(out_.find("Skipped 7 file(s), 11 page(s)"), std::string::npos) << out_;
    EXPECT_EQ(fs::last_write_time(work_ / "out/a3.png"), untouched);
    ExpectInverted(work_ / "out", batch, 50, 30);
    auto seen = PagesReported({work_ / "r.json"});
    const std::pair<std::string, int> elsewhere{"x.png", 1};
    EXPECT_EQ(seen[elsewhere], 1);
    seen.erase(elsewhere);
    ExpectEveryPageOnce(seen, batch);

    // A report that is not ours is never overwritten.
    std::ofstream(work_ / "r.json", std::ios::trunc) << "precious notes";
    EXPECT_EQ(Leafmend(run + " --resume"), 2);
    EXPECT_EQ(ReadText(work_ / "r.json"), "precious notes");
}

TEST_F(ScaleTest, ResumeRedoesFilesWhoseEntriesWereEditedByHand) {
    const std::vector<Input> batch = WriteBatch(work_ / "in", 40, 20);
    const std::string run = "run -p Invert" + Names(batch, "in") + " -o out --report r.json";
    ASSERT_EQ(Leafmend(run), 0) << err_;
    // Fields of the wrong type, a missing field and an entry that is no object.
    nlohmann::json report = nlohmann::json::parse(ReadText(work_ / "r.json"));
    for (nlohmann::json& entry : report) {
        if (entry.value("file", "") == "in/a0.png") entry["removed"] = "no";
        if (entry.value("file", "") == "in/a1.png") entry["ok"] = 1;
        if (entry.value("file", "") == "in/m0.tif" && entry.value("page", 0) == 2) entry.erase("removed");
    }
    report.push_back(42);
    std::ofstream(work_ / "r.json", std::ios::trunc) << report.dump(2);

    ASSERT_EQ(Leafmend(run + " --resume"), 0) << err_;
    EXPECT_NE(out_.find("Skipped 5 file(s), 9 page(s)"), std::string::npos) << out_;
    ExpectInverted(work_ / "out", batch, 40, 20);
    ExpectEveryPageOnce(PagesReported({work_ / "r.json"}), batch);
}

struct ExitCase {
    const char* label;
    std::string script;  // run in the work folder; $L is leafmend, in/p.png exists (and in/big.tif when named)
    int code;
};

class ExitCodeTest : public ScaleTest, public ::testing::WithParamInterface<ExitCase> {};

TEST_P(ExitCodeTest, NamesWhatWentWrong) {
    fs::create_directories(work_ / "in");
    WritePatternFile(work_ / "in/p.png", 30, 20, {1}, ImageFileFormat::Png);
    if (GetParam().script.find("big.tif") != std::string::npos)
        WritePatternFile(work_ / "in/big.tif", 1500, 1500, {1, 2, 3, 4, 5, 6}, ImageFileFormat::Tiff);
    EXPECT_EQ(Shell("L=" + std::string(LEAFMEND_BIN) + "; " + GetParam().script + " 2> err.txt"), GetParam().code)
        << ReadText(work_ / "err.txt");
    EXPECT_EQ(HiddenFiles(work_ / "out"), std::vector<std::string>{});
}

// Waits until the run has a temporary output file, then signals it.
std::string SignalMidRun(const char* signal) {
    return std::string(
               "$L run -q -j 2 -p 'Rotate RotationAngle=3' in/big.tif -o out & pid=$!; "
               "for i in $(seq 3000); do ls -a out 2>/dev/null | grep -q leafmend && break; sleep 0.01; done; kill -") +
           signal + " $pid; wait $pid";
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ExitCodeTest,
    ::testing::Values(
        ExitCase{"AllWell", "$L run -q -p Invert in/p.png -o out", 0},
        ExitCase{"PageFailed", "echo junk > in/bad.png; $L run -q -p Invert in/p.png in/bad.png -o out", 1},
        ExitCase{"Usage", "$L run -q -p Invert --shard 2/2 in/p.png -o out", 2},
        // A copy of the command beside a process module that does not load.
        ExitCase{"ModuleNotLoadable",
                 "mkdir -p x/bin x/lib && cp $L x/bin/ && for l in libZRObjectsClient91.so libzrcom.so "
                 "libZRImageWrapper91.so; do ln -s $(realpath $(dirname $L)/../lib/$l) x/lib/$l; done; "
                 "echo junk > x/lib/libZRLeafmendClient91.so; x/bin/leafmend run -q -p Invert in/p.png -o out",
                 3},
        ExitCase{"OutputFolderIsAFile", "echo x > outfile; $L run -q -p Invert in/p.png -o outfile/sub", 4},
        ExitCase{"DiskFull", "trap '' XFSZ; ulimit -f 20; $L run -q -p Invert in/big.tif -o out", 4},
        ExitCase{"Interrupted", SignalMidRun("INT"), 130}, ExitCase{"Terminated", SignalMidRun("TERM"), 130}),
    [](const auto& info) { return std::string(info.param.label); });

// The report with its times taken out.
std::string Timeless(const fs::path& report) {
    nlohmann::json entries = nlohmann::json::parse(ReadText(report));
    for (auto& entry : entries) entry.erase("milliseconds");
    return entries.dump(1);
}

TEST_F(ScaleTest, WorkersWriteTheSameBytesAsOne) {
    // A multi-page file alone keeps every worker busy: its pages are shared out.
    fs::create_directories(work_ / "in");
    WritePatternFile(work_ / "in/many.tif", 300, 200, {1, 2, 3, 4, 5, 6, 7, 8}, ImageFileFormat::Tiff);
    std::string inputs = " in/many.tif";
    for (int i = 0; i < 8; ++i) {
        WritePatternFile(work_ / ("in/s" + std::to_string(i) + ".png"), 200, 150, {i}, ImageFileFormat::Png);
        inputs += " in/s" + std::to_string(i) + ".png";
    }
    const std::string pipeline = " -p 'Rotate RotationAngle=3' -p 'Despeckle SIZE=2' -p Invert";
    for (const char* jobs : {"1", "2", "3"})
        ASSERT_EQ(Leafmend(std::string("run -q -j ") + jobs + pipeline + inputs + " -o out" + jobs + " --report r" +
                           jobs + ".json"),
                  0)
            << err_;
    for (const char* jobs : {"2", "3"}) {
        for (const auto& entry : fs::directory_iterator(work_ / "out1")) {
            const fs::path other = work_ / (std::string("out") + jobs) / entry.path().filename();
            EXPECT_EQ(ReadText(entry.path()), ReadText(other)) << other;
        }
        EXPECT_EQ(Timeless(work_ / "r1.json"), Timeless(work_ / (std::string("r") + jobs + ".json")));
    }
}

TEST_F(ScaleTest, PagesOfAFileGoInOrderWhenAProcessKeepsDocumentState) {
    // PageRemoval THRESHOLD=0 removes the first page of each file, and only it.
    WritePatternFile(work_ / "five.tif", 40, 30, {1, 2, 3, 4, 5}, ImageFileFormat::Tiff);
    ASSERT_EQ(Leafmend("run -q -j 3 -p 'PageRemoval THRESHOLD=0' -p Invert five.tif -o out"), 0) << err_;
    ASSERT_EQ(imagefile::CountPages((work_ / "out/five.tif").string()), 4);
    for (int page = 0; page < 4; ++page)
        ExpectPage(work_ / "out/five.tif", page, 40, 30,
                   [page](int x, int y) { return 255u - PatternAt(x, y, page + 2); });
}

TEST_F(ScaleTest, FailFastWithWorkersWritesNoUnfinishedFile) {
    // Resize fails on page 2 of the multi-page file only.
    std::ofstream(work_ / "job.xml") << "<Job><Process Name=\"Resize\" ProgID=\"ZRLeafmendClient91.Resize.1\">"
                                        "<PageRange Range=\"2\"/><PropertyBag>"
                                        "<Property Name=\"RESIZE_MODE\" Type=\"VT_I2\" Value=\"1\"/>"
                                        "<Property Name=\"RESIZE_PERCENT\" Type=\"VT_I2\" Value=\"0\"/>"
                                        "</PropertyBag></Process></Job>";
    fs::create_directories(work_ / "in");
    WritePatternFile(work_ / "in/m.tif", 400, 300, {1, 2, 3, 4, 5, 6}, ImageFileFormat::Tiff);
    EXPECT_EQ(Leafmend("run -q -j 2 --fail-fast --job job.xml in/m.tif -o out --report r.json"), 1);
    EXPECT_FALSE(fs::exists(work_ / "out/m.tif"));
    EXPECT_NE(err_.find("page 2: Resize"), std::string::npos) << err_;
    EXPECT_EQ(HiddenFiles(work_ / "out"), std::vector<std::string>{});
    EXPECT_FALSE(fs::exists(work_ / "r.json.journal"));
    // Without --fail-fast the failing page keeps its pixels and the file is written.
    EXPECT_EQ(Leafmend("run -q -j 2 --job job.xml in/m.tif -o out2"), 1);
    ExpectPage(work_ / "out2/m.tif", 1, 400, 300, [](int x, int y) { return PatternAt(x, y, 2); });
}

}  // namespace
