// Page removal: the threshold rule (file size against "THRESHOLD", mode 8
// only reports the size) and the token rule (threshold 0: the first page
// seen of each container).
#include "processes/geometry/CZRPageRemoval.h"

#include "framework/CZRException.h"
#include "framework/Messages.h"
#include "framework/StatusMessage.h"
#include "processes/geometry/PageFile.h"
#include "resources/MessageIds.h"

namespace {
constexpr Property<VT_I4> kThreshold{"THRESHOLD", 0,
                                     "above 0: remove pages whose image file has at most this many bytes; 0: remove "
                                     "the first page of each document; below 0: remove nothing"};
constexpr PropertyDecl kProperties[] = {kThreshold};

// Mode in which the size is reported and nothing is removed.
constexpr LONG kReportSizeMode = 8;

std::string PathOf(const CComBSTR& path) { return path.utf8(); }

template <class Object>
std::string FilePathOf(Object* object) {
    CComBSTR path;
    ThrowIfFailed(object->GetFilePath(&path));
    return PathOf(path);
}
}  // namespace

constinit const ClassDescriptor CZRPageRemoval::kDescriptor{"PageRemoval",
                                                            "CZRPageRemoval",
                                                            &CLSID_ZRPageRemoval,
                                                            107,
                                                            0,
                                                            false,
                                                            PROCESS_TYPE_DEFAULT,
                                                            kProperties,
                                                            &MakeClassFactory<CZRPageRemoval>};

HRESULT CZRPageRemoval::Process(IZRPage* page, VARIANT_BOOL* result) {
    if (!result) return E_POINTER;
    return RunGuarded(ProcessText().c_str(), IID_IZRProcessEx, [&] {
        CComBSTR name;
        get_Name(&name);
        ProgressRunGuard run(*this, name);
        *result = VARIANT_TRUE;
        if (!page) return E_POINTER;
        CComPtr<IZRPage> heldPage(page);
        const LONG threshold = Read(kThreshold);
        LONG number = 0;
        ThrowIfFailed(page->GetPageNumber(&number));
        CComPtr<IZRImage> image;
        ThrowIfFailed(page->GetImage(&image));
        const std::string imagePath = image ? FilePathOf(image.get()) : std::string();
        if (number < 1 || threshold != 0)
            RemoveByThreshold(page, number, threshold, imagePath, result);
        else
            RemoveFirstPage(page, number, result);
        return S_OK;
    });
}

void CZRPageRemoval::RemoveByThreshold(IZRPage* page, LONG number, LONG threshold, const std::string& imagePath,
                                       VARIANT_BOOL* result) {
    if (threshold <= 0 || imagePath.empty()) return;
    std::int32_t size = 0;
    if (!pagefile::SizeOf(imagePath, &size)) throw CZRException(static_cast<UINT>(IDS_FILE_INFO_FAILED));
    if (Mode() == kReportSizeMode) {
        postStatusMessage(page, FormatMessageId(IDS_PAGE_SIZE, static_cast<int>(size)));
        return;
    }
    if (threshold < size) return;
    if (number > 0) {
        CComPtr<IZRPageContainer> container;
        ThrowIfFailed(page->GetContainer(&container));
        if (container) ThrowIfFailed(container->RemovePage(number));
    }
    deletePageFiles(page);
    postStatusMessage(page, FormatMessageId(IDS_PAGE_REMOVED_SIZE, static_cast<int>(size)));
    *result = VARIANT_FALSE;
}

void CZRPageRemoval::RemoveFirstPage(IZRPage* page, LONG number, VARIANT_BOOL* result) {
    CComBSTR name;
    get_Name(&name);
    const CComBSTR key(u"REMOVEPAGE_" + std::u16string(name.view()));
    CComPtr<IZRPageContainer> container;
    ThrowIfFailed(page->GetContainer(&container));
    if (!container) throw CZRException(E_POINTER);
    CComVariant token;
    const HRESULT found = container->GetToken(key, &token);
    // Another type's 16-bit member decides too; a missing token counts as not set.
    if (SUCCEEDED(found) && token.iVal != 0) return;
    ThrowIfFailed(container->RemovePage(number));
    deletePageFiles(page);
    CComVariant done;
    done.vt = VT_BOOL;
    done.boolVal = VARIANT_TRUE;
    ThrowIfFailed(container->SetToken(key, done));
    postStatusMessage(page, FormatMessageId(IDS_PAGE_REMOVED, static_cast<int>(number)));
    *result = VARIANT_FALSE;
}

void CZRPageRemoval::postStatusMessage(IZRPage* page, const std::u16string& text) {
    CComBSTR processName;
    get_Name(&processName);
    PostStatusMessage(page, processName, kStatusPageRemoved, text);
}

void CZRPageRemoval::deletePageFiles(IZRPage* page) {
    if (!page) throw CZRException(E_POINTER);
    // The document the host read is not a page file of its own: when the host
    // hands its pages that file's path, no page removal may delete it.
    std::string documentPath;
    CComPtr<IZRPageContainer> container;
    if (SUCCEEDED(page->GetContainer(&container)) && container) {
        CComBSTR path;
        if (SUCCEEDED(container->GetFilePath(&path))) documentPath = PathOf(path);
    }
    const auto remove = [&](const std::string& path) {
        if (!pagefile::SameFile(path, documentPath)) pagefile::Delete(path);
    };
    CComPtr<IZRImage> image;
    ThrowIfFailed(page->GetImage(&image));
    if (image) remove(FilePathOf(image.get()));
    CComPtr<IZRPagePartA> text;
    ThrowIfFailed(page->GetTextPart(&text));
    if (text) remove(FilePathOf(text.get()));
    CComPtr<IZRPagePartB> thumbnail;
    ThrowIfFailed(page->GetThumbnailPart(&thumbnail));
    if (thumbnail) remove(FilePathOf(thumbnail.get()));
    CComPtr<IZRPagePartC> metadata;
    ThrowIfFailed(page->GetMetadataPart(&metadata));
    if (metadata) remove(FilePathOf(metadata.get()));
}
