// The registry file: concurrent writers in several processes lose nothing,
// damaged files are refused and left alone, folders, read-only files and
// planted links get clear refusals, temporary files never follow links and
// never stay behind, the host's session values never reach the file.
#include "platform/registry/Registry.h"
#include "platform/com/ErrorInfo.h"
#include "platform/registry/Registrar.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

class RegistryFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = fs::path(::testing::TempDir()) / ("registry-" + std::string(info->name()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        file_ = folder_ / "registry.xml";
        ::setenv("LEAFMEND_REGISTRY", file_.c_str(), 1);
        registry().SetVolatile(false);
        registry().Reset();
    }
    void TearDown() override {
        if (fs::exists(file_)) fs::permissions(file_, fs::perms::owner_all);
        registry().SetVolatile(true);
        registry().Reset();
        fs::remove_all(folder_);
    }
    static Registry& registry() { return Registry::Instance(); }
    // Names in the folder other than the registry and its lock file.
    std::set<std::string> Strays() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_)) {
            const std::string name = entry.path().filename().string();
            if (name != "registry.xml" && name != "registry.xml.lock") names.insert(name);
        }
        return names;
    }
    fs::path folder_, file_;
};

// A script registering `count` classes of one writer below the shared CLSID key.
std::string WriterScript(int writer, int first, int count) {
    std::string script = "HKCR\n{\n\tNoRemove CLSID\n\t{\n";
    for (int k = first; k < first + count; ++k)
        script += "\t\tW" + std::to_string(writer) + "-" + std::to_string(k) + " = s 'writer " +
                  std::to_string(writer) + "'\n";
    return script + "\t}\n}\n";
}

TEST_F(RegistryFileTest, ConcurrentWritersInSeveralProcessesLoseNoUpdate) {
    constexpr int kWriters = 6, kScripts = 8, kSingles = 4;
    int gate[2];
    ASSERT_EQ(::pipe(gate), 0);
    std::vector<pid_t> children;
    for (int writer = 0; writer < kWriters; ++writer) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(gate[1]);
            char byte;
            while (::read(gate[0], &byte, 1) > 0) {
            }  // everyone starts when the gate closes
            bool ok = true;
            Registrar registrar;
            for (int s = 0; s < kScripts; ++s)
                ok = registrar.Run(WriterScript(writer, s * 3, 3), Registrar::Mode::Register) && ok;
            for (int k = 0; k < kSingles; ++k)
                ok = registry().SetDword("Single\\W" + std::to_string(writer), "v" + std::to_string(k),
                                         static_cast<std::uint32_t>(k)) &&
                     ok;
            ::_exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    ::close(gate[0]);
    ::close(gate[1]);
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    registry().Reset();
    EXPECT_EQ(registry().SubKeys("CLSID").size(), static_cast<std::size_t>(kWriters * kScripts * 3));
    for (int writer = 0; writer < kWriters; ++writer) {
        for (int k = 0; k < kScripts * 3; ++k) {
            const std::string key = "CLSID\\W" + std::to_string(writer) + "-" + std::to_string(k);
            EXPECT_EQ(registry().GetString(key, ""), "writer " + std::to_string(writer)) << key;
        }
        for (int k = 0; k < kSingles; ++k)
            EXPECT_TRUE(registry().GetValue("Single\\W" + std::to_string(writer), "v" + std::to_string(k)));
    }
    EXPECT_TRUE(Strays().empty()) << ::testing::PrintToString(Strays());
}

struct Damage {
    const char* name;
    std::string bytes;
    const char* cause;
};

std::string NestedKeys(int depth) {
    std::string text = "<Registry>";
    for (int i = 0; i < depth; ++i) text += "<Key name=\"k\">";
    for (int i = 0; i < depth; ++i) text += "</Key>";
    return text + "</Registry>";
}

class DamagedRegistryTest : public RegistryFileTest, public ::testing::WithParamInterface<Damage> {};

TEST_P(DamagedRegistryTest, IsRefusedWithItsPathAndCauseAndNeverOverwritten) {
    const std::string bytes = GetParam().bytes;
    WriteBytes(file_, bytes);
    EXPECT_FALSE(registry().SetString("Added", "", "x"));
    const std::string error = registry().LastError();
    EXPECT_NE(error.find(file_.string()), std::string::npos) << error;
    EXPECT_NE(error.find(GetParam().cause), std::string::npos) << error;
    EXPECT_EQ(PeekErrorDescription(), error) << "callers that only see an HRESULT get the reason";
    EXPECT_FALSE(registry().Flush());
    std::string scriptError;
    Registrar registrar;
    EXPECT_FALSE(registrar.Run("HKCR { Other = s 'y' }", Registrar::Mode::Register, &scriptError));
    EXPECT_NE(scriptError.find(file_.string()), std::string::npos) << scriptError;
    EXPECT_FALSE(registry().KeyExists("Added"));
    EXPECT_EQ(ReadBytes(file_), bytes);
    EXPECT_TRUE(Strays().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, DamagedRegistryTest,
    ::testing::Values(
        Damage{"Truncated",
               "<?xml version=\"1.0\"?>\n<Registry>\n\t<Key name=\"CLSID\">\n\t\t<Key name=\"{A}\">\n\t\t\t<Val",
               "damaged and was left unchanged"},
        Damage{"Mismatched", "<Registry><Key name=\"a\"></Registry>", "at line 1"},
        Damage{"Empty", "", "the file is empty"}, Damage{"Text", "not xml at all", "damaged"},
        Damage{"OtherRoot", "<Settings />", "its root element is <Settings>"},
        Damage{"TooDeep", NestedKeys(300), "nested deeper than 256"}),
    [](const auto& info) { return info.param.name; });

TEST_F(RegistryFileTest, AFolderAtTheRegistryPathIsNamedAsSuch) {
    fs::create_directories(file_);
    EXPECT_FALSE(registry().SetString("A", "", "x"));
    EXPECT_EQ(registry().LastError(), "the registry " + file_.string() + " is a folder, not a file");
    EXPECT_FALSE(registry().KeyExists("A"));
}

TEST_F(RegistryFileTest, AReadOnlyRegistryIsRefusedAndKept) {
    ASSERT_TRUE(registry().SetString("Kept", "", "1"));
    const std::string before = ReadBytes(file_);
    fs::permissions(file_, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_FALSE(registry().SetString("Added", "", "2"));
    EXPECT_EQ(registry().LastError(), "the registry " + file_.string() + " is read-only; it was left unchanged");
    EXPECT_EQ(ReadBytes(file_), before);
    EXPECT_EQ(registry().GetString("Kept", ""), "1");
    EXPECT_FALSE(registry().KeyExists("Added"));
    EXPECT_TRUE(Strays().empty());
}

TEST_F(RegistryFileTest, APlantedLockLinkIsNotFollowed) {
    const fs::path victim = folder_ / "victim.txt";
    WriteBytes(victim, "precious");
    fs::create_symlink(victim, file_.string() + ".lock");
    EXPECT_FALSE(registry().SetString("A", "", "x"));
    EXPECT_NE(registry().LastError().find("cannot open the lock file"), std::string::npos) << registry().LastError();
    EXPECT_EQ(ReadBytes(victim), "precious");
    EXPECT_FALSE(fs::exists(file_));
}

TEST_F(RegistryFileTest, TemporaryFilesAreCreatedAfreshAndNeverLeftBehind) {
    // Links at the names a predictable writer would use point at a victim.
    const fs::path victim = folder_ / "victim.txt";
    WriteBytes(victim, "precious");
    for (const std::string& suffix :
         std::vector<std::string>{".tmp", ".tmp." + std::to_string(::getpid()), ".part", ".new"})
        fs::create_symlink(victim, file_.string() + suffix);
    ASSERT_TRUE(registry().SetString("A", "", "x"));
    fs::permissions(file_, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(registry().SetDword("A", "n" + std::to_string(i), 1));
    EXPECT_EQ(ReadBytes(victim), "precious");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(file_)));
    EXPECT_EQ(fs::status(file_).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read)
        << "a rewrite keeps the file's permissions";
    EXPECT_EQ(Strays().size(), 5u) << "only the victim and the planted links";
    registry().Reset();
    EXPECT_EQ(registry().GetValue("A", "n4")->number, 1u);
}

TEST_F(RegistryFileTest, ABatchReadsAndWritesTheFileOnce) {
    ASSERT_TRUE(registry().SetString("Before", "", "0"));
    const auto inodeOf = [&] {
        struct stat info {};
        ::stat(file_.c_str(), &info);
        return info.st_ino;
    };
    const auto before = inodeOf();
    {
        Registry::Batch batch(registry());
        registry().SetString("One", "", "1");
        registry().SetString("Two", "", "2");
        EXPECT_TRUE(registry().KeyExists("One")) << "a batch sees its own changes";
        EXPECT_EQ(inodeOf(), before) << "nothing is written before the batch ends";
        EXPECT_TRUE(batch.Commit());
    }
    EXPECT_NE(inodeOf(), before);
    registry().Reset();
    EXPECT_EQ(registry().GetString("Two", ""), "2");
    EXPECT_EQ(registry().GetString("Before", ""), "0");
}

TEST_F(RegistryFileTest, ReadsFollowChangesMadeByOtherProcesses) {
    ASSERT_TRUE(registry().SetString("Shared", "", "first"));
    EXPECT_EQ(registry().GetString("Shared", ""), "first");
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) ::_exit(registry().SetString("Shared", "", "second") ? 0 : 1);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(registry().GetString("Shared", ""), "second");
}

TEST_F(RegistryFileTest, SessionValuesAreSeenButNeverWritten) {
    registry().SetSessionString("Host.Thing.1\\CLSID", "", "{11111111-2222-3333-4444-555555555555}");
    ASSERT_TRUE(registry().SetString("Module.Thing.1\\CLSID", "", "{99999999-2222-3333-4444-555555555555}"));
    EXPECT_EQ(registry().GetString("Host.Thing.1\\CLSID", ""), "{11111111-2222-3333-4444-555555555555}");
    EXPECT_EQ(ReadBytes(file_).find("Host.Thing"), std::string::npos);
    EXPECT_NE(ReadBytes(file_).find("Module.Thing"), std::string::npos);
    registry().SetVolatile(true);
    EXPECT_TRUE(registry().KeyExists("Host.Thing.1"));
    EXPECT_FALSE(registry().KeyExists("Module.Thing.1")) << "a volatile registry does not read the file";
}

}  // namespace
