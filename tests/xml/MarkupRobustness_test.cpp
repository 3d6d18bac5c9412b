// Hostile and missing input: texts that do not parse, objects without a
// reader document, and nesting far deeper than any call stack would allow.
#include "MarkupTestSupport.h"

using namespace markup_test;

namespace {
// Every reader operation on a document without content answers false, "" or -1.
void ExpectEmptyReader(Markup& m) {
    EXPECT_EQ(m.Depth(), -1);
    EXPECT_EQ(m.Name(), "");
    EXPECT_EQ(m.Attr("k"), "");
    EXPECT_EQ(m.Text(), "");
    EXPECT_EQ(m.Outer(), "");
    EXPECT_TRUE(m.Empty());
    EXPECT_FALSE(m.Find("a"));
    EXPECT_FALSE(m.Child("a"));
    EXPECT_FALSE(m.Sibling("a"));
    EXPECT_FALSE(m.Next());
    EXPECT_EQ(m.Depth(), -1);
}

std::string Nested(std::size_t depth, const std::string& leaf) {
    std::string xml;
    xml.reserve(depth * 7 + leaf.size());
    for (std::size_t i = 0; i < depth; ++i) xml += "<n>";
    xml += leaf;
    for (std::size_t i = 0; i < depth; ++i) xml += "</n>";
    return xml;
}
}  // namespace

TEST(MarkupRobustness, TextsThatDoNotParseLoadAsEmptyDocuments) {
    const std::string cases[] = {
        "",
        "   ",
        "plain words",
        "<a><b>",
        "<a></b>",
        "<a attr='1></a>",
        "<a k=\"" + std::string(1 << 20, 'v') + "></a>",  // huge, unterminated attribute
        std::string("<a>x\0y</a>", 10),                   // embedded zero inside the element
        "<?xml version=\"1.0\"?>",
        "<a>&undefined;</a><",
        "</a>",
    };
    for (const std::string& text : cases) {
        SCOPED_TRACE(text.substr(0, 40));
        Markup m;
        m.Load(text);
        EXPECT_EQ(m.Xml(), kDeclaration);  // a reader document exists, but it is empty
        ExpectEmptyReader(m);
    }
}

TEST(MarkupRobustness, NullAndInvalidUtf16Arguments) {
    Markup m;
    ASSERT_EQ(m->LoadXml(nullptr), S_OK);
    ExpectEmptyReader(m);
    ASSERT_EQ(m->LoadFile(nullptr), S_OK);
    ExpectEmptyReader(m);
    // A lone surrogate in element text is replaced, not fatal.
    const std::u16string text(u"<a>\xD800</a>", 8);
    ASSERT_EQ(m->LoadXml(CComBSTR(text)), S_OK);
    EXPECT_EQ(m.Text(), "\xEF\xBF\xBD");
    EXPECT_EQ(m.Find(""), false);
    ASSERT_EQ(m->AddElement(nullptr, nullptr), S_OK);  // reader document present: ignored
}

TEST(MarkupRobustness, ObjectWithoutReaderDocumentAnswersAsEmpty) {
    Markup fresh;
    ExpectEmptyReader(fresh);
    Markup cleared;
    cleared.Load("<a k=\"v\"/>");
    ASSERT_EQ(cleared->Clear(), S_OK);
    ExpectEmptyReader(cleared);
    Markup missingFile;
    ASSERT_EQ(missingFile->LoadFile(CComBSTR("/nonexistent/dir/none.xml")), S_OK);
    ExpectEmptyReader(missingFile);
    Markup writer;  // FindElement needs a reader document
    writer.Add("a");
    ASSERT_EQ(writer->EndElement(), S_OK);
    EXPECT_FALSE(writer.Find("a"));
}

TEST(MarkupRobustness, DeepNestingIsWalkedWithoutRecursion) {
    constexpr std::size_t kDepth = 300000;
    TempFile file("deep.xml");
    file.Write(Nested(kDepth, "<leaf>x</leaf>"));
    Markup m;
    ASSERT_EQ(m->LoadFile(file.bstr()), S_OK);
    ASSERT_TRUE(m.Find("leaf"));
    EXPECT_EQ(m.Depth(), static_cast<LONG>(kDepth + 1));
    EXPECT_EQ(m.Text(), "x");
    // From the leaf's end the walk climbs through every end state up to the document node.
    std::size_t steps = 0;
    while (m.Next()) ++steps;
    EXPECT_EQ(steps, kDepth + 1);

    Markup copy;  // copying the deep tree and destroying it must not recurse either
    copy.Add("root");
    ASSERT_EQ(copy->AppendFile(file.bstr()), S_OK);
    EXPECT_FALSE(copy.Empty());
    ASSERT_EQ(copy->Clear(), S_OK);
}

TEST(MarkupRobustness, DeepButModestDocumentSerialises) {
    Markup m;
    m.Load(Nested(2000, ""));
    const std::string xml = m.Xml();
    // 1999 opening and closing lines around one empty element, one tab per level.
    const std::size_t tabs = 1999 * 1999, tags = 1999 * (4 + 5) + 6;
    EXPECT_EQ(xml.size(), std::string(kDeclaration).size() + tabs + tags);
    EXPECT_NE(xml.find("\n" + std::string(1999, '\t') + "<n />\n" + std::string(1998, '\t') + "</n>\n"),
              std::string::npos);
}
