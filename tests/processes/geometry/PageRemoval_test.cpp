// The page removal process over real files in a scratch folder: the
// threshold rule at, below and above the threshold, mode 8 reporting, the
// once-per-document token rule, missing and odd files, pages without
// messages or containers, the deletion of a page's four files, and the
// input document that is never deleted.
#include "processes/geometry/CZRPageRemoval.h"
#include "processes/geometry/PageFile.h"
#include "tests/processes/geometry/GeometryTestSupport.h"

#include "resources/MessageIds.h"

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

// A file path the companion parts hand out.
template <class Part>
class PathPart : public HostObject<Part> {
public:
    std::string path;
    HRESULT GetFilePath(BSTR* out) override {
        if (!out) return E_POINTER;
        *out = Utf8ToBstr(path);
        return S_OK;
    }
    HRESULT SetFilePath(BSTR value) override {
        path = BstrToUtf8(value);
        return S_OK;
    }
    HRESULT GetKind(BSTR* kind) override {
        if (!kind) return E_POINTER;
        *kind = Utf8ToBstr("test");
        return S_OK;
    }
};

class TextPart : public PathPart<IZRPagePartA> {
public:
    HRESULT GetSize(LONG*) override { return E_NOTIMPL; }
    HRESULT Exists(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT Reserved11() override { return E_NOTIMPL; }
};
class ThumbnailPart : public PathPart<IZRPagePartB> {
public:
    HRESULT GetSize(LONG*) override { return E_NOTIMPL; }
    HRESULT Exists(VARIANT_BOOL*) override { return E_NOTIMPL; }
};
class MetadataPart : public PathPart<IZRPagePartC> {};

// A page with its three companion files, and optionally no message list.
class PartPage : public CZRPage {
public:
    CComPtr<TextPart> text = Create<TextPart>();
    CComPtr<ThumbnailPart> thumbnail = Create<ThumbnailPart>();
    CComPtr<MetadataPart> metadata = Create<MetadataPart>();
    bool withoutMessages = false;
    HRESULT GetTextPart(IZRPagePartA** part) override { return Give(text, part); }
    HRESULT GetThumbnailPart(IZRPagePartB** part) override { return Give(thumbnail, part); }
    HRESULT GetMetadataPart(IZRPagePartC** part) override { return Give(metadata, part); }
    HRESULT GetStatusMessages(IZRStatusMessages** list) override {
        if (withoutMessages) {
            *list = nullptr;
            return S_OK;
        }
        return CZRPage::GetStatusMessages(list);
    }

private:
    template <class Part, class Interface>
    static HRESULT Give(const CComPtr<Part>& part, Interface** out) {
        if (!out) return E_POINTER;
        *out = part.get();
        if (*out) (*out)->AddRef();
        return S_OK;
    }
};

// A document whose token store answers every lookup with a failure.
class TokenlessDocument : public CZRDocument {
public:
    HRESULT GetToken(BSTR, VARIANT*) override { return E_FAIL; }
};

class PageRemovalTest : public ProcessFixture<CZRPageRemoval> {
protected:
    void SetUp() override {
        ProcessFixture::SetUp();
        char pattern[] = "/tmp/pageremoval-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder_ = pattern;
        // The user's input: what the host read, never to be deleted.
        input_ = Write("input.tif", 300);
    }
    void TearDown() override {
        EXPECT_TRUE(fs::exists(input_)) << "the input document was deleted";
        fs::remove_all(folder_);
    }
    std::string Write(const std::string& name, std::size_t bytes) {
        const std::string path = (folder_ / name).string();
        std::ofstream(path, std::ios::binary) << std::string(bytes, 'x');
        return path;
    }
    // A document read from input_ with `pages` pages, page n's image in a
    // working copy "page<n>.tif" of `bytes[n-1]` bytes.
    template <class Document = CZRDocument>
    CComPtr<Document> Pages(std::initializer_list<std::size_t> bytes) {
        CComPtr<Document> document = HostObject<IZRPageContainer>::Create<Document>();
        document->SetFilePath(input_);
        for (std::size_t size : bytes) {
            CComPtr<CZRPage> page = document->AppendPage(ImageWrapper::create_handle_from_scratch(4, 4, 1));
            LONG number = 0;
            page->GetPageNumber(&number);
            const CComBSTR copy(Write("page" + std::to_string(number) + ".tif", size));
            page->Image()->SetFilePath(copy);
        }
        return document;
    }
    static std::string ImagePath(CZRPage* page) {
        CComBSTR path;
        page->Image()->GetFilePath(&path);
        return path.utf8();
    }
    void SetThreshold(LONG bytes) { Set(u"THRESHOLD", CComVariant(bytes)); }
    struct Message {
        std::string process;
        LONG type;
        std::string text;
    };
    static std::vector<Message> MessagesOf(IZRPage* page) {
        CComPtr<IZRStatusMessages> list;
        page->GetStatusMessages(&list);
        std::vector<Message> messages;
        LONG count = 0;
        if (list) list->GetCount(&count);
        for (LONG i = 0; i < count; ++i) {
            CComPtr<ZRStatusMessage> message;
            list->GetItem(i, &message);
            CComBSTR process, text;
            LONG type = 0;
            message->GetProcessName(&process);
            message->GetMessageType(&type);
            message->GetText(&text);
            messages.push_back({process.utf8(), type, text.utf8()});
        }
        return messages;
    }
    fs::path folder_;
    std::string input_;
};

TEST_F(PageRemovalTest, DeclaresThresholdZeroAndTypeCode798) {
    const CComVariant value = GetPropertyValue(process_, u"THRESHOLD");
    EXPECT_EQ(value.vt, VT_I4);
    EXPECT_EQ(value.lVal, 0);
    LONG type = 0;
    process_->get_ProcessType(&type);
    EXPECT_EQ(type, 798);
}

struct ThresholdCase {
    std::size_t bytes;
    bool removed;
};

class PageRemovalThresholdTest : public PageRemovalTest, public ::testing::WithParamInterface<ThresholdCase> {};

TEST_P(PageRemovalThresholdTest, RemovesPagesWhoseFileIsAtMostTheThreshold) {
    const ThresholdCase& c = GetParam();
    SetThreshold(5000);
    process_->put_Name(CComBSTR(u"Drop small"));
    CComPtr<CZRDocument> document = Pages({c.bytes});
    CZRPage* page = document->Pages()[0];
    const std::string copy = ImagePath(page);
    VARIANT_BOOL result = VARIANT_TRUE;
    ASSERT_EQ(Run(page, &result), S_OK);
    EXPECT_EQ(result, c.removed ? VARIANT_FALSE : VARIANT_TRUE);
    EXPECT_EQ(document->Removed(1), c.removed);
    EXPECT_EQ(fs::exists(copy), !c.removed);
    const std::vector<Message> messages = MessagesOf(page);
    if (!c.removed) {
        EXPECT_TRUE(messages.empty());
        return;
    }
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].process, "Drop small");
    EXPECT_EQ(messages[0].type, 3);
    EXPECT_EQ(messages[0].text,
              "Removed page because its size, " + std::to_string(c.bytes) + " bytes, was below the threshold.");
}

INSTANTIATE_TEST_SUITE_P(Sizes, PageRemovalThresholdTest,
                         ::testing::Values(ThresholdCase{4800, true}, ThresholdCase{5000, true},
                                           ThresholdCase{5001, false}, ThresholdCase{0, true}));

TEST_F(PageRemovalTest, ModeEightReportsTheSizeAndRemovesNothing) {
    SetThreshold(5000);
    process_->put_Mode(8);
    CComPtr<CZRDocument> document = Pages({4800});
    CZRPage* page = document->Pages()[0];
    VARIANT_BOOL result = VARIANT_FALSE;
    ASSERT_EQ(Run(page, &result), S_OK);
    EXPECT_EQ(result, VARIANT_TRUE);
    EXPECT_FALSE(document->Removed(1));
    EXPECT_TRUE(fs::exists(ImagePath(page)));
    const std::vector<Message> messages = MessagesOf(page);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].type, 3);
    EXPECT_EQ(messages[0].text, "The current page has a size of 4800 bytes.");
}

TEST_F(PageRemovalTest, ModeNineRemovesAsUsual) {
    SetThreshold(5000);
    process_->put_Mode(9);
    CComPtr<CZRDocument> document = Pages({4800});
    VARIANT_BOOL result = VARIANT_TRUE;
    ASSERT_EQ(Run(document->Pages()[0], &result), S_OK);
    EXPECT_EQ(result, VARIANT_FALSE);
    EXPECT_TRUE(document->Removed(1));
}

TEST_F(PageRemovalTest, ThresholdZeroRemovesOnlyTheFirstPageOfEachDocument) {
    process_->put_Name(CComBSTR(u"First"));
    for (int round = 0; round < 2; ++round) {
        CComPtr<CZRDocument> document = Pages({100, 100, 100});
        std::vector<VARIANT_BOOL> results;
        for (CZRPage* page : {document->Pages()[0].get(), document->Pages()[1].get(), document->Pages()[2].get()}) {
            VARIANT_BOOL result = VARIANT_FALSE;
            ASSERT_EQ(Run(page, &result), S_OK);
            results.push_back(result);
        }
        EXPECT_EQ(results, (std::vector<VARIANT_BOOL>{VARIANT_FALSE, VARIANT_TRUE, VARIANT_TRUE})) << round;
        EXPECT_TRUE(document->Removed(1));
        EXPECT_FALSE(document->Removed(2));
        EXPECT_FALSE(document->Removed(3));
        EXPECT_FALSE(fs::exists(folder_ / "page1.tif"));
        EXPECT_TRUE(fs::exists(folder_ / "page2.tif"));
        const std::vector<Message> first = MessagesOf(document->Pages()[0]);
        ASSERT_EQ(first.size(), 1u);
        EXPECT_EQ(first[0].text, "Page Removal has removed page 1.");
        EXPECT_TRUE(MessagesOf(document->Pages()[1]).empty());
        CComVariant token;
        ASSERT_EQ(document->GetToken(CComBSTR(u"REMOVEPAGE_First"), &token), S_OK);
        EXPECT_EQ(token.vt, VT_BOOL);
        EXPECT_EQ(token.boolVal, VARIANT_TRUE);
    }
}

TEST_F(PageRemovalTest, ThresholdZeroWithoutTokensRemovesEveryPage) {
    CComPtr<TokenlessDocument> document = Pages<TokenlessDocument>({10, 10});
    for (LONG number : {1, 2}) {
        VARIANT_BOOL result = VARIANT_TRUE;
        ASSERT_EQ(Run(document->Pages()[static_cast<std::size_t>(number - 1)], &result), S_OK);
        EXPECT_EQ(result, VARIANT_FALSE);
        EXPECT_TRUE(document->Removed(number));
    }
}

TEST_F(PageRemovalTest, NegativeThresholdRemovesNothingAndReadsNoFile) {
    SetThreshold(-1);
    CComPtr<CZRDocument> document = Pages({10});
    CZRPage* page = document->Pages()[0];
    fs::remove(ImagePath(page));
    VARIANT_BOOL result = VARIANT_FALSE;
    EXPECT_EQ(Run(page, &result), S_OK);
    EXPECT_EQ(result, VARIANT_TRUE);
    EXPECT_FALSE(document->Removed(1));
}

TEST_F(PageRemovalTest, UnreadableImageFileFailsWith2156AndKeepsThePage) {
    SetThreshold(5000);
    CComPtr<CZRDocument> document = Pages({10, 10, 10});
    // A missing file, a folder where the image file should be, and a path
    // that cannot be reached (through a file).
    fs::remove(ImagePath(document->Pages()[0]));
    const std::string folder = ImagePath(document->Pages()[1]);
    fs::remove(folder);
    fs::create_directory(folder);
    const CComBSTR unreachable(ImagePath(document->Pages()[2]) + "/page.tif");
    document->Pages()[2]->Image()->SetFilePath(unreachable);
    for (const auto& page : document->Pages()) {
        VARIANT_BOOL result = VARIANT_FALSE;
        EXPECT_EQ(Run(page, &result), static_cast<HRESULT>(0x8004086Cu));
        EXPECT_EQ(LastErrorText(), "Failed to retrieve file info.");
        EXPECT_TRUE(MessagesOf(page).empty());
    }
    LONG removed = -1;
    document->GetRemovedCount(&removed);
    EXPECT_EQ(removed, 0);
    EXPECT_TRUE(fs::is_directory(folder));
}

TEST_F(PageRemovalTest, DeletesTheImageAndTheThreeCompanionFilesOnly) {
    SetThreshold(5000);
    CComPtr<CZRDocument> document = Pages({});
    CComPtr<PartPage> page = HostObject<IZRPage>::Create<PartPage>();
    CComPtr<CZRImage> image = HostObject<IZRImage>::Create<CZRImage>();
    image->Attach(ImageWrapper::create_handle_from_scratch(4, 4, 1), Write("image.tif", 1000));
    page->Setup(document, 0, image);
    page->text->path = Write("page.txt", 5);
    page->thumbnail->path = Write("thumb.png", 5);
    page->metadata->path = Write("page.xml", 5);
    const std::string bystander = Write("other.tif", 5);
    VARIANT_BOOL result = VARIANT_TRUE;
    ASSERT_EQ(Run(page, &result), S_OK);
    EXPECT_EQ(result, VARIANT_FALSE);
    for (const char* name : {"image.tif", "page.txt", "thumb.png", "page.xml"})
        EXPECT_FALSE(fs::exists(folder_ / name)) << name;
    EXPECT_TRUE(fs::exists(bystander));
    page->Detach();
}

TEST_F(PageRemovalTest, PageNumberBelowOneIsDroppedWithoutAskingTheContainer) {
    SetThreshold(5000);
    CComPtr<CZRDocument> document = Pages({10});
    CZRPage* page = document->Pages()[0];
    page->SetPageNumber(0);
    VARIANT_BOOL result = VARIANT_TRUE;
    ASSERT_EQ(Run(page, &result), S_OK);
    EXPECT_EQ(result, VARIANT_FALSE);
    LONG removed = -1;
    document->GetRemovedCount(&removed);
    EXPECT_EQ(removed, 0);
    // Threshold 0 with no page number: nothing at all.
    SetThreshold(0);
    CComPtr<CZRDocument> other = Pages({10});
    other->Pages()[0]->SetPageNumber(0);
    ASSERT_EQ(Run(other->Pages()[0], &result), S_OK);
    EXPECT_EQ(result, VARIANT_TRUE);
    EXPECT_TRUE(fs::exists(ImagePath(other->Pages()[0])));
}

TEST_F(PageRemovalTest, PageWithoutMessageListIsStillRemoved) {
    SetThreshold(5000);
    CComPtr<CZRDocument> document = Pages({});
    CComPtr<PartPage> page = HostObject<IZRPage>::Create<PartPage>();
    page->withoutMessages = true;
    CComPtr<CZRImage> image = HostObject<IZRImage>::Create<CZRImage>();
    image->Attach(ImageWrapper::create_handle_from_scratch(4, 4, 1), Write("image.tif", 10));
    page->Setup(document, 0, image);
    VARIANT_BOOL result = VARIANT_TRUE;
    ASSERT_EQ(Run(page, &result), S_OK);
    EXPECT_EQ(result, VARIANT_FALSE);
    EXPECT_FALSE(fs::exists(folder_ / "image.tif"));
    page->Detach();
}

TEST_F(PageRemovalTest, InputDocumentSharedByItsPagesIsNeverDeleted) {
    // A host that hands every page the path of the document it read.
    for (LONG threshold : {5000, 0}) {
        SetThreshold(threshold);
        CComPtr<CZRDocument> document = HostObject<IZRPageContainer>::Create<CZRDocument>();
        document->SetFilePath(input_);
        document->AppendPage(ImageWrapper::create_handle_from_scratch(4, 4, 1));
        document->AppendPage(ImageWrapper::create_handle_from_scratch(4, 4, 1));
        ASSERT_EQ(ImagePath(document->Pages()[0]), input_);
        VARIANT_BOOL result = VARIANT_TRUE;
        ASSERT_EQ(Run(document->Pages()[0], &result), S_OK);
        EXPECT_EQ(result, VARIANT_FALSE) << threshold;
        EXPECT_TRUE(document->Removed(1));
        EXPECT_TRUE(fs::exists(input_)) << threshold;
    }
    // Another spelling of the same file is the same file.
    SetThreshold(5000);
    CComPtr<CZRDocument> document = HostObject<IZRPageContainer>::Create<CZRDocument>();
    document->SetFilePath(input_);
    document->AppendPage(ImageWrapper::create_handle_from_scratch(4, 4, 1));
    const CComBSTR detour((folder_ / ".." / folder_.filename() / "input.tif").string());
    document->Pages()[0]->Image()->SetFilePath(detour);
    ASSERT_EQ(Run(document->Pages()[0]), S_OK);
    EXPECT_TRUE(fs::exists(input_));
}

TEST_F(PageRemovalTest, NullArgumentsAreRefused) {
    VARIANT_BOOL result;
    EXPECT_EQ(process_->Process(nullptr, &result), E_POINTER);
    CComPtr<CZRDocument> document = Pages({10});
    EXPECT_EQ(process_->Process(document->Pages()[0], nullptr), E_POINTER);
    EXPECT_THROW(process_->deletePageFiles(nullptr), CZRException);
}

TEST(PageFileTest, SizeOnlyOfRegularFilesThatExist) {
    char pattern[] = "/tmp/pagefile-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path folder = pattern;
    const std::string file = (folder / "a").string();
    std::ofstream(file) << std::string(1234, 'y');
    std::int32_t size = -1;
    EXPECT_TRUE(pagefile::SizeOf(file, &size));
    EXPECT_EQ(size, 1234);
    EXPECT_FALSE(pagefile::SizeOf((folder / "missing").string(), &size));
    EXPECT_FALSE(pagefile::SizeOf(folder.string(), &size));
    EXPECT_FALSE(pagefile::SizeOf("", &size));
    // Deleting never takes a folder; a link and its file are one file.
    pagefile::Delete(folder.string());
    EXPECT_TRUE(fs::is_directory(folder));
    fs::create_symlink(file, folder / "link");
    EXPECT_TRUE(pagefile::SameFile(file, (folder / "link").string()));
    EXPECT_FALSE(pagefile::SameFile(file, (folder / "missing").string()));
    EXPECT_FALSE(pagefile::SameFile(file, ""));
    pagefile::Delete(file);
    EXPECT_FALSE(fs::exists(file));
    fs::remove_all(folder);
}

}  // namespace
