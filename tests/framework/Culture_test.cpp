// The culture switch as a host sees it: messages in the chosen language,
// fallbacks of the lookup, and what does not change.
#include "framework/Culture.h"
#include "processes/geometry/CZRRotate.h"
#include "tests/support/TestHost.h"

#include "platform/com/ErrorInfo.h"
#include "platform/registry/Registry.h"
#include "platform/win32/SystemFolders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

// A common-files folder holding the built "de" module, also under other names.
class CultureTest : public ::testing::Test {
protected:
    void SetUp() override {
        Registry::Instance().SetVolatile(true);
        EnsureHostClasses();
        Culture::ResetForTesting();
        root_ = fs::temp_directory_path() / ("leafmend-culture-" + std::to_string(::getpid()));
        const fs::path built = fs::path(LEAFMEND_SHARE_DIR) / "Tolvenar/Tallyworks/de/ZRResources.dll";
        ASSERT_TRUE(fs::exists(built)) << built;
        for (const char* culture : {"de", "zh-Hans", "pt"}) {
            fs::create_directories(root_ / "Tolvenar/Tallyworks" / culture);
            fs::copy_file(built, root_ / "Tolvenar/Tallyworks" / culture / "ZRResources.dll",
                          fs::copy_options::overwrite_existing);
        }
        ::setenv("LEAFMEND_COMMON_FILES", root_.c_str(), 1);
        CComObject<CZRRotate>* object = nullptr;
        ASSERT_EQ(CComObject<CZRRotate>::CreateInstance(&object), S_OK);
        rotate_ = object;
    }
    void TearDown() override {
        Culture::ResetForTesting();
        ::unsetenv("LEAFMEND_COMMON_FILES");
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    void SetCulture(const char* culture) {
        CComBSTR key(u"CULTURE");
        CComVariant value(culture);
        ASSERT_EQ(rotate_->put_Properties(key, value), S_OK);
    }
    std::string UnknownErrorText() { return Utf16ToUtf8(FormatMessageId(IDS_UNKNOWN_ERROR, "CZRRotate::Process")); }

    fs::path root_;
    CComPtr<CComObject<CZRRotate>> rotate_;
};

TEST_F(CultureTest, GermanMessagesAfterSwitch) {
    EXPECT_EQ(UnknownErrorText(), "Unknown error in CZRRotate::Process.");
    SetCulture("de");
    EXPECT_EQ(UnknownErrorText(), "Unbekannter Fehler in CZRRotate::Process.");
    EXPECT_EQ(Culture::CurrentCulture(), "de");
    // The value is not stored as a property.
    CComVariant read;
    CComBSTR key(u"CULTURE");
    EXPECT_TRUE(FAILED(rotate_->get_Properties(key, &read)));
}

TEST_F(CultureTest, ChineseRegionFallsBackToHansFolder) {
    SetCulture("zh-CN");
    EXPECT_EQ(Culture::CurrentCulture(), "zh-Hans");
    EXPECT_EQ(UnknownErrorText(), "Unbekannter Fehler in CZRRotate::Process.");
}

TEST_F(CultureTest, RegionFallsBackToNeutralButKeepsAskedCulture) {
    SetCulture("pt-BR");
    EXPECT_EQ(Culture::CurrentCulture(), "pt-BR");
    EXPECT_EQ(UnknownErrorText(), "Unbekannter Fehler in CZRRotate::Process.");
}

TEST_F(CultureTest, UnknownCultureChangesNothing) {
    SetCulture("de");
    HINSTANCE before = Culture::CurrentModule();
    SetCulture("xx-YY");
    EXPECT_EQ(Culture::CurrentModule(), before);
    EXPECT_EQ(Culture::CurrentCulture(), "de");
    SetCulture("DE");  // the current culture again: nothing is loaded
    EXPECT_EQ(Culture::CurrentModule(), before);
}

TEST_F(CultureTest, ArabicMakesLayoutRightToLeft) {
    fs::create_directories(root_ / "Tolvenar/Tallyworks/ar");
    fs::copy_file(root_ / "Tolvenar/Tallyworks/de/ZRResources.dll", root_ / "Tolvenar/Tallyworks/ar/ZRResources.dll");
    SetCulture("ar-SA");
    DWORD layout = 0;
    GetProcessDefaultLayout(&layout);
    EXPECT_EQ(layout, LAYOUT_RTL);
    EXPECT_TRUE(Culture::IsRightToLeft());
}

TEST_F(CultureTest, ErrorFromProcessReadsInGerman) {
    SetCulture("de");
    VARIANT_BOOL result;
    CComPtr<CZRDocument> document = MakeDocument(10, 10, 8);
    ImageWrapper::delete_bitmap(document->Pages()[0]->Image()->Handle());  // a stale handle
    EXPECT_TRUE(FAILED(rotate_->Process(document->Pages()[0], &result)));
    const std::string text = PeekErrorDescription();
    EXPECT_EQ(text, "Unbekannter interner Fehler");
}

}  // namespace
