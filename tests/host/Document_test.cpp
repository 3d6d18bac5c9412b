// Documents and pages: tokens kept per document, page removal bookkeeping,
// and a page reaching its document only through IZRPageContainer.
#include "host/CZRDocument.h"
#include "host/CZRStatusMessage.h"
#include "tests/host/HostTestSupport.h"

#include <gtest/gtest.h>

namespace {

CComPtr<CZRDocument> NewDocument(int pages, const char* path = "/scans/batch.tif") {
    CComPtr<CZRDocument> document = Make<CZRDocument, IZRPageContainer>();
    document->SetFilePath(path);
    for (int i = 0; i < pages; ++i) document->AppendPage(-1);
    return document;
}

CComPtr<IZRPageContainer> ContainerOf(IZRPage* page) {
    CComPtr<IZRPageContainer> container;
    EXPECT_EQ(page->GetContainer(&container), S_OK);
    return container;
}

TEST(DocumentTokenTest, AMissingTokenFailsAndAStoredOneComesBackPerDocument) {
    CComPtr<CZRDocument> first = NewDocument(1), second = NewDocument(1);
    CComBSTR key(u"REMOVEPAGE_Removal");
    CComVariant value;
    EXPECT_TRUE(FAILED(first->GetToken(key, &value)));
    ASSERT_EQ(first->SetToken(key, CComVariant(true)), S_OK);
    ASSERT_EQ(first->GetToken(key, &value), S_OK);
    EXPECT_EQ(value.vt, VT_BOOL);
    EXPECT_EQ(value.boolVal, VARIANT_TRUE);
    value.Clear();
    EXPECT_TRUE(FAILED(second->GetToken(key, &value))) << "tokens belong to one document";
    CComBSTR otherCase(u"removepage_removal");
    EXPECT_TRUE(FAILED(first->GetToken(otherCase, &value)));
    ASSERT_EQ(first->RemoveToken(key), S_OK);
    EXPECT_TRUE(FAILED(first->GetToken(key, &value)));
}

TEST(DocumentTokenTest, AByReferenceStringTokenOwnsItsCopy) {
    CComPtr<CZRDocument> document = NewDocument(1);
    BSTR text = SysAllocString(u"seen");
    VARIANT byRef;
    VariantInit(&byRef);
    byRef.vt = VT_BSTR | VT_BYREF;
    byRef.pbstrVal = &text;
    CComBSTR key(u"k");
    ASSERT_EQ(document->SetToken(key, byRef), S_OK);
    SysFreeString(text);
    CComVariant value;
    ASSERT_EQ(document->GetToken(key, &value), S_OK);
    ASSERT_EQ(value.vt, VT_BSTR);
    EXPECT_EQ(BstrToUtf8(value.bstrVal), "seen");
}

TEST(PageRemovalTest, RemovedPagesAreCountedAndKeepTheirNumbers) {
    CComPtr<CZRDocument> document = NewDocument(3);
    EXPECT_EQ(document->RemovePage(0), DISP_E_BADINDEX);
    EXPECT_EQ(document->RemovePage(4), DISP_E_BADINDEX);
    VARIANT_BOOL modified = VARIANT_TRUE;
    document->IsModified(&modified);
    EXPECT_EQ(modified, VARIANT_FALSE);
    ASSERT_EQ(document->RemovePage(2), S_OK);
    ASSERT_EQ(document->RemovePage(2), S_OK);  // twice is once
    LONG removed = 0, count = 0;
    document->GetRemovedCount(&removed);
    document->GetPageCount(&count);
    EXPECT_EQ(removed, 1);
    EXPECT_EQ(count, 3) << "a removed page stays in the document, marked";
    document->IsModified(&modified);
    EXPECT_EQ(modified, VARIANT_TRUE);
    for (LONG number = 1; number <= 3; ++number) {
        VARIANT_BOOL byDocument = VARIANT_FALSE, byPage = VARIANT_FALSE;
        document->IsPageRemoved(number, &byDocument);
        CComPtr<IZRPage> page;
        ASSERT_EQ(document->GetPage(number, &page), S_OK);
        page->IsRemoved(&byPage);
        EXPECT_EQ(byDocument, number == 2 ? VARIANT_TRUE : VARIANT_FALSE) << number;
        EXPECT_EQ(byPage, byDocument) << number;
        LONG pageNumber = 0;
        page->GetPageNumber(&pageNumber);
        EXPECT_EQ(pageNumber, number);
    }
    EXPECT_TRUE(document->Removed(2));
    EXPECT_FALSE(document->Removed(3));
}

TEST(PageRemovalTest, APageRemovesItselfThroughItsContainer) {
    CComPtr<CZRDocument> document = NewDocument(2);
    CComPtr<IZRPage> page;
    ASSERT_EQ(document->GetPage(2, &page), S_OK);
    CComPtr<IZRPageContainer> container = ContainerOf(page);
    ASSERT_EQ(container.get(), static_cast<IZRPageContainer*>(document.get()));
    LONG number = 0;
    page->GetPageNumber(&number);
    ASSERT_EQ(container->RemovePage(number), S_OK);
    VARIANT_BOOL removed = VARIANT_FALSE;
    page->IsRemoved(&removed);
    EXPECT_EQ(removed, VARIANT_TRUE);
    EXPECT_TRUE(document->Removed(2));
    EXPECT_FALSE(document->Removed(1));
}

TEST(PageTest, AnswersItsFileNameAndIndexThroughItsDocument) {
    CComPtr<CZRDocument> document = NewDocument(2, "/scans/ledger.tif");
    CComPtr<IZRPage> page;
    ASSERT_EQ(document->GetPage(2, &page), S_OK);
    CComBSTR name;
    ASSERT_EQ(page->GetFileName(&name), S_OK);
    EXPECT_EQ(name.utf8(), "/scans/ledger.tif");
    LONG index = -1;
    page->GetPageIndex(&index);
    EXPECT_EQ(index, 1);
    CComPtr<IZRPage> none;
    EXPECT_EQ(document->GetPage(3, &none), DISP_E_BADINDEX);
    EXPECT_EQ(none.get(), nullptr);
}

TEST(PageTest, APageOutlivingItsDocumentHasNoContainer) {
    CComPtr<CZRPage> page;
    {
        CComPtr<CZRDocument> document = NewDocument(1);
        page = document->Pages()[0];
    }
    EXPECT_EQ(ContainerOf(page).get(), nullptr);
    CComBSTR name;
    ASSERT_EQ(page->GetFileName(&name), S_OK);
    EXPECT_EQ(name.utf8(), "");
    VARIANT_BOOL removed = VARIANT_TRUE;
    EXPECT_EQ(page->IsRemoved(&removed), S_OK);
    EXPECT_EQ(removed, VARIANT_FALSE);
}

TEST(PageTest, StatusMessagesCollectInOrder) {
    CComPtr<CZRDocument> document = NewDocument(1);
    CComPtr<IZRStatusMessages> list;
    ASSERT_EQ(document->Pages()[0]->GetStatusMessages(&list), S_OK);
    for (LONG type : {2, 3}) {
        CComPtr<CZRStatusMessage> message = Make<CZRStatusMessage, ZRStatusMessage>();
        CComBSTR process(u"PageRemoval"), text(type == 2 ? u"refused" : u"removed");
        message->SetProcessName(process);
        message->SetMessageType(type);
        message->SetText(text);
        ASSERT_EQ(list->Add(message), S_OK);
    }
    LONG count = 0;
    list->GetCount(&count);
    ASSERT_EQ(count, 2);
    CComPtr<ZRStatusMessage> second;
    ASSERT_EQ(list->GetItem(1, &second), S_OK);
    LONG type = 0;
    CComBSTR text;
    second->GetMessageType(&type);
    second->GetText(&text);
    EXPECT_EQ(type, 3);
    EXPECT_EQ(text.utf8(), "removed");
    CComPtr<ZRStatusMessage> none;
    EXPECT_EQ(list->GetItem(2, &none), DISP_E_BADINDEX);
    EXPECT_EQ(list->Add(nullptr), E_POINTER);
}

}  // namespace
