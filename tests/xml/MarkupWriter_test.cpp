// Writing: element/attribute building, serialised text, AppendFile, Clear,
// the tag, interface identity and null out pointers.
#include "MarkupTestSupport.h"

using namespace markup_test;

TEST(MarkupWriter, BuildsTabIndentedDocument) {
    Markup m;
    m.Add("A");
    m.Add("B", "x");
    ASSERT_EQ(m->AddAttribute(CComBSTR("k"), CComBSTR("v")), S_OK);
    ASSERT_EQ(m->EndElement(), S_OK);
    EXPECT_EQ(m.Xml(), std::string(kDeclaration) + "<A>\n\t<B k=\"v\">x</B>\n</A>\n");
}

TEST(MarkupWriter, PositionFollowsElementsAndEnds) {
    Markup m;
    ASSERT_EQ(m->NewDocument(), S_OK);
    EXPECT_EQ(m.Depth(), 0);  // the document node
    m.Add("A");
    m.Add("B");
    EXPECT_EQ(m.Depth(), 2);
    ASSERT_EQ(m->EndElement(), S_OK);
    ASSERT_EQ(m->EndElement(), S_OK);
    ASSERT_EQ(m->AddAttribute(CComBSTR("lost"), CComBSTR("1")), S_OK);  // no attributes on the document node
    ASSERT_EQ(m->EndElement(), S_OK);                                   // above it: no current node
    EXPECT_EQ(m.Depth(), -1);
    m.Add("C");
    EXPECT_EQ(m.Xml(), std::string(kDeclaration) + "<A>\n\t<B />\n</A>\n");
}

TEST(MarkupWriter, NullValueAndEscapedText) {
    Markup m;
    m.Add("A", "1 < 2 & \"q\"");
    ASSERT_EQ(m->AddAttribute(CComBSTR("n"), nullptr), S_OK);
    ASSERT_EQ(m->AddAttribute(CComBSTR("u"), CComBSTR("Größe €𝄞")), S_OK);
    EXPECT_EQ(m.Xml(), std::string(kDeclaration) + "<A n=\"\" u=\"Größe €𝄞\">1 &lt; 2 &amp; \"q\"</A>\n");
}

TEST(MarkupWriter, WritingIsIgnoredWhileAReaderDocumentIsLoaded) {
    Markup m;
    m.Load("<R/>");
    m.Add("X", "t");
    ASSERT_EQ(m->AddAttribute(CComBSTR("k"), CComBSTR("v")), S_OK);
    EXPECT_EQ(m.Xml(), std::string(kDeclaration) + "<R />\n");
}

TEST(MarkupWriter, ClearForgetsDocumentsButKeepsTag) {
    Markup m;
    ASSERT_EQ(m->SetTag(CComBSTR("keep")), S_OK);
    m.Add("A");
    ASSERT_EQ(m->Clear(), S_OK);
    BSTR xml = SysAllocString(u"junk");
    BSTR junk = xml;
    ASSERT_EQ(m->GetXml(&xml), S_OK);
    EXPECT_EQ(xml, nullptr);  // no document at all
    SysFreeString(junk);
    EXPECT_EQ(m.Depth(), -1);
    EXPECT_TRUE(m.Start());
    CComBSTR tag;
    ASSERT_EQ(m->GetTag(&tag), S_OK);
    EXPECT_EQ(tag.utf8(), "keep");
    m.Add("B");  // a fresh writer document after Clear
    EXPECT_EQ(m.Xml(), std::string(kDeclaration) + "<B />\n");
}

TEST(MarkupWriter, AppendFileCopiesTopLevelNodesUnderCurrent) {
    TempFile file("part.xml");
    file.Write("<X a=\"1\"><Y>t</Y></X><Z/>");
    Markup m;
    m.Add("Root");
    ASSERT_EQ(m->AppendFile(file.bstr()), S_OK);
    m.Add("After");
    EXPECT_EQ(m.Xml(), std::string(kDeclaration) +
                           "<Root>\n\t<X a=\"1\">\n\t\t<Y>t</Y>\n\t</X>\n\t<Z />\n\t<After />\n</Root>\n");

    Markup fresh;  // no document yet: one is created and the nodes go to its top level
    ASSERT_EQ(fresh->AppendFile(file.bstr()), S_OK);
    EXPECT_EQ(fresh.Xml(), std::string(kDeclaration) + "<X a=\"1\">\n\t<Y>t</Y>\n</X>\n<Z />\n");
}

TEST(MarkupWriter, AppendFileIgnoresBadFilesAndReaderDocuments) {
    TempFile broken("broken.xml");
    broken.Write("<X><Y></X>");
    Markup m;
    m.Add("Root");
    ASSERT_EQ(m->AppendFile(broken.bstr()), S_OK);
    ASSERT_EQ(m->AppendFile(CComBSTR("/nonexistent/dir/none.xml")), S_OK);
    EXPECT_EQ(m.Xml(), std::string(kDeclaration) + "<Root />\n");

    TempFile good("good.xml");
    good.Write("<X/>");
    Markup reader;
    reader.Load("<R/>");
    ASSERT_EQ(reader->AppendFile(good.bstr()), S_OK);
    EXPECT_EQ(reader.Xml(), std::string(kDeclaration) + "<R />\n");
}

TEST(MarkupTag, CopiesBytesExactly) {
    Markup m;
    CComBSTR out;
    ASSERT_EQ(m->GetTag(&out), S_OK);
    EXPECT_EQ(out.m_str(), nullptr);

    const std::u16string withZero(u"a\0b\xD800", 4);  // embedded zero and a lone surrogate
    CComBSTR tag(withZero);
    ASSERT_EQ(m->SetTag(tag), S_OK);
    ASSERT_EQ(m->GetTag(&out), S_OK);
    EXPECT_NE(out.m_str(), tag.m_str());
    EXPECT_EQ(out.view(), withZero);

    // An odd byte count survives as well.
    BSTR odd = SysAllocStringLen(u"xyz", 3);
    const std::uint32_t five = 5;
    std::memcpy(reinterpret_cast<unsigned char*>(odd) - 4, &five, 4);
    ASSERT_EQ(m->SetTag(odd), S_OK);
    SysFreeString(odd);
    BSTR back = nullptr;
    ASSERT_EQ(m->GetTag(&back), S_OK);
    EXPECT_EQ(SysStringByteLen(back), 5u);
    EXPECT_EQ(std::memcmp(back, u"xyz", 5), 0);
    SysFreeString(back);

    ASSERT_EQ(m->SetTag(nullptr), S_OK);
    out.Empty();
    ASSERT_EQ(m->GetTag(&out), S_OK);
    EXPECT_EQ(out.m_str(), nullptr);
}

TEST(MarkupObject, InterfacesAndTypeInformation) {
    IZRXMLMarkup* raw = nullptr;
    ASSERT_EQ(CreateXMLMarkup(&raw), S_OK);
    CComPtr<IZRXMLMarkup> m;
    m.Attach(raw);
    IUnknown* unknown = nullptr;
    IDispatch* dispatch = nullptr;
    ASSERT_EQ(m->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    ASSERT_EQ(m->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
    EXPECT_EQ(static_cast<void*>(unknown), static_cast<void*>(m.get()));
    EXPECT_EQ(static_cast<void*>(dispatch), static_cast<void*>(m.get()));
    unknown->Release();
    dispatch->Release();
    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(m->QueryInterface(IID_IZRProcessEx, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    ITypeInfo* info = nullptr;
    EXPECT_EQ(m->GetTypeInfo(1, 0, &info), DISP_E_BADINDEX);
    EXPECT_EQ(CreateXMLMarkup(nullptr), E_POINTER);
}

TEST(MarkupObject, NullOutPointersAreRefused) {
    Markup m;
    m.Load("<A k=\"v\">t</A>");
    CComBSTR name("A");
    EXPECT_EQ(m->GetXml(nullptr), E_POINTER);
    EXPECT_EQ(m->GetText(nullptr), E_POINTER);
    EXPECT_EQ(m->GetOuterXml(nullptr), E_POINTER);
    EXPECT_EQ(m->GetName(nullptr), E_POINTER);
    EXPECT_EQ(m->GetTag(nullptr), E_POINTER);
    EXPECT_EQ(m->GetAttribute(name, nullptr), E_POINTER);
    EXPECT_EQ(m->FindElement(name, nullptr), E_POINTER);
    EXPECT_EQ(m->FindSibling(name, nullptr), E_POINTER);
    EXPECT_EQ(m->FindChild(name, nullptr), E_POINTER);
    EXPECT_EQ(m->IsEmptyElement(nullptr), E_POINTER);
    EXPECT_EQ(m->MoveNext(nullptr), E_POINTER);
    EXPECT_EQ(m->GetDepth(nullptr), E_POINTER);
    EXPECT_EQ(m->IsStartElement(nullptr), E_POINTER);
    EXPECT_EQ(m.Name(), "A");  // nothing moved
}
