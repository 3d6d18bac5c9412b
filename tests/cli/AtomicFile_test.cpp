// Safe writes: the target appears only complete, a temporary is never opened
// through a link, failures keep their own cause, and leftovers of dead runs
// are recognised and removed while other runs' files are kept.
#include "cli/AtomicFile.h"

#include "cli/CliError.h"
#include "cli/Report.h"
#include "tests/cli/CommandTestSupport.h"

#include <sys/resource.h>

#include <csignal>

namespace {

class AtomicFileTest : public CommandTest {
protected:
    std::vector<std::string> Names() {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(work_)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(AtomicFileTest, TargetAppearsOnlyOnCommit) {
    const std::string target = (work_ / "r.json").string();
    {
        AtomicFile file(target);
        file.Write("{}");
        EXPECT_FALSE(fs::exists(target));
        long pid = 0;
        EXPECT_TRUE(AtomicFile::IsTemporaryName(fs::path(file.TempPath()).filename().string(), &pid));
        EXPECT_EQ(pid, ::getpid());
        file.Commit();
    }
    EXPECT_EQ(ReadText(target), "{}");
    EXPECT_EQ(Names(), std::vector<std::string>{"r.json"});
}

TEST_F(AtomicFileTest, AbandonedFileLeavesNothing) {
    std::ofstream(work_ / "r.json") << "old";
    {
        AtomicFile file((work_ / "r.json").string());
        file.Write("new, but never committed");
    }
    EXPECT_EQ(ReadText(work_ / "r.json"), "old");
    EXPECT_EQ(Names(), std::vector<std::string>{"r.json"});
}

TEST_F(AtomicFileTest, WritesThroughItsOwnFileWhateverHappensToTheName) {
    std::ofstream(work_ / "victim") << "keep";
    AtomicFile file((work_ / "out.png").string());
    // Someone swaps the temporary name for a link to another file.
    fs::remove(file.TempPath());
    fs::create_symlink(work_ / "victim", file.TempPath());
    std::ofstream(file.DescriptorPath()) << "ours";
    EXPECT_THROW(file.Commit(), RunFailure);
    EXPECT_EQ(ReadText(work_ / "victim"), "keep");
    EXPECT_FALSE(fs::exists(work_ / "out.png"));
}

TEST_F(AtomicFileTest, RenameFailureKeepsItsCause) {
    fs::create_directories(work_ / "out.png/inside");
    AtomicFile file((work_ / "out.png").string());
    file.Write("x");
    try {
        file.Commit();
        ADD_FAILURE() << "committed over a folder";
    } catch (const RunFailure& e) {
        EXPECT_NE(std::string(e.what()).find("Is a directory"), std::string::npos) << e.what();
        EXPECT_EQ(std::string(e.what()).find("Success"), std::string::npos) << e.what();
    }
}

TEST_F(AtomicFileTest, FolderThatCannotTakeFilesIsNamed) {
    try {
        AtomicFile file((work_ / "missing/r.json").string());
        ADD_FAILURE() << "created";
    } catch (const RunFailure& e) {
        EXPECT_NE(std::string(e.what()).find("cannot create a file in " + (work_ / "missing").string() +
                                             ": No such file or directory"),
                  std::string::npos)
            << e.what();
    }
}

TEST_F(AtomicFileTest, ReportThatCannotBeWrittenCompletelyIsAnError) {
    // A file size limit stands in for a full disk: the write stops short.
    Report report;
    for (int i = 0; i < 200; ++i) report.Add({{"file", std::string(100, 'x')}, {"page", i}});
    struct rlimit old {};
    ::getrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    ::setrlimit(RLIMIT_FSIZE, &small);
    std::string message;
    try {
        report.Write((work_ / "r.json").string());
    } catch (const RunFailure& e) {
        message = e.what();
    }
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, SIG_DFL);
    EXPECT_NE(message.find("cannot write " + (work_ / "r.json").string()), std::string::npos) << message;
    EXPECT_TRUE(Names().empty());
}

struct NameCase {
    const char* name;
    bool ours;
};

void PrintTo(const NameCase& value, std::ostream* out) { *out << value.name; }

class TemporaryNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(TemporaryNameTest, RecognisesOnlyOurPattern) {
    EXPECT_EQ(AtomicFile::IsTemporaryName(GetParam().name, nullptr), GetParam().ours) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TemporaryNameTest,
    ::testing::Values(NameCase{".a.tif.leafmend-123-AbC9xZ", true}, NameCase{"..leafmend-1-aaaaaa", true},
                      NameCase{"a.tif.leafmend-123-AbC9xZ", false}, NameCase{".a.tif.leafmend-123-AbC9x", false},
                      NameCase{".a.tif.leafmend--AbC9xZ", false}, NameCase{".a.tif.leafmend-12x-AbC9xZ", false},
                      NameCase{".a.tif.part123", false}));

TEST_F(AtomicFileTest, StaleTemporariesOfDeadRunsOnlyAreRemoved) {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    const std::string dead = ".a.tif.leafmend-" + std::to_string(child) + "-AAAAAA";
    const std::string alive = ".a.tif.leafmend-" + std::to_string(::getppid()) + "-BBBBBB";
    std::ofstream(work_ / dead) << "x";
    std::ofstream(work_ / alive) << "x";
    std::ofstream(work_ / "a.tif") << "x";
    const auto removed = AtomicFile::RemoveStale(work_.string());
    EXPECT_EQ(removed, std::vector<std::string>{(work_ / dead).string()});
    EXPECT_EQ(Names(), (std::vector<std::string>{alive, "a.tif"}));
}

}  // namespace
