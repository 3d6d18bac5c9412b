// Reading: the start rule, the pull walk with end states, the searches and
// their traces, depth, text, outer XML, and file round trips.
#include "MarkupTestSupport.h"

using namespace markup_test;

namespace {
struct State {
    std::string name;
    LONG depth;
    bool start;
    bool operator==(const State&) const = default;
};
std::ostream& operator<<(std::ostream& os, const State& s) {
    return os << "(" << s.name << ", " << s.depth << ", " << (s.start ? "start" : "end") << ")";
}
State Here(Markup& m) { return {m.Name(), m.Depth(), m.Start()}; }
}  // namespace

TEST(MarkupReader, WalksNestedDocumentWithEndStates) {
    Markup m;
    m.Load("<R><A k=\"1\">t</A><B><C/><D>u</D></B><E/></R>");
    // An element holding only text is left through its end only when it is
    // the last child; an empty last child skips its parent's end.
    const std::vector<State> expected = {{"R", 1, true}, {"A", 2, true},  {"B", 2, true}, {"C", 3, true},
                                         {"D", 3, true}, {"B", 2, false}, {"E", 2, true}, {"", 0, false}};
    std::vector<State> walked{Here(m)};
    while (m.Next()) walked.push_back(Here(m));
    EXPECT_EQ(walked, expected);
    EXPECT_EQ(m.Depth(), -1);
    EXPECT_FALSE(m.Next());
}

TEST(MarkupReader, MoveNextFromLastChild) {
    struct Case {
        const char* xml;
        State after;
    };
    const Case cases[] = {
        {"<R><A><B>x</B></A><C/></R>", {"A", 2, false}},  // B holds only text: A's end
        {"<R><A><B/></A><C/></R>", {"C", 2, true}},       // B empty: A's next sibling
        {"<R><A><B/></A></R>", {"R", 1, false}},          // ... or A's parent's end
        {"<R><A><B>x<!-- c --></B></A></R>", {"A", 2, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.xml);
        Markup m;
        m.Load(c.xml);
        ASSERT_TRUE(m.Find("B"));
        ASSERT_TRUE(m.Next());
        EXPECT_EQ(Here(m), c.after);
    }
}

TEST(MarkupReader, MoveNextIntoMixedContentSkipsLeadingText) {
    Markup m;
    m.Load("<A>lead<B/>tail</A>");
    ASSERT_TRUE(m.Next());
    EXPECT_EQ(Here(m), (State{"B", 2, true}));
    ASSERT_TRUE(m.Next());  // the trailing text node is a node of its own
    EXPECT_EQ(Here(m), (State{"", 2, true}));
}

TEST(MarkupReader, DeclarationThenFindElement) {
    Markup m;
    m.Load(
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Job>\n  <Process Name=\"p1\"/>\n  <Process "
        "Name=\"p2\"/>\n</Job>");
    ASSERT_TRUE(m.Find("Process"));
    EXPECT_EQ(Here(m), (State{"Process", 2, true}));
    EXPECT_EQ(m.Attr("Name"), "p1");
    EXPECT_EQ(m.Attr("Missing"), "");
    ASSERT_TRUE(m.Find("Process"));  // already standing on one
    EXPECT_EQ(m.Attr("Name"), "p1");
    ASSERT_TRUE(m.Next());
    ASSERT_TRUE(m.Find("Process"));
    EXPECT_EQ(m.Attr("Name"), "p2");
    EXPECT_FALSE(m.Find("Nowhere"));
    EXPECT_EQ(m.Depth(), -1);
    EXPECT_EQ(m.Attr("Name"), "");
}

TEST(MarkupReader, FindElementLeavesEndStatesFirstAndTraces) {
    Markup m;
    m.Load("<R><A>a</A><B/></R>");
    ASSERT_TRUE(m.Find("A"));
    EXPECT_EQ(m.Text(), "a");  // leaves A in its end state
    m.traces().clear();
    ASSERT_TRUE(m.Find("B"));
    EXPECT_EQ(Here(m), (State{"B", 2, true}));
    const std::vector<std::string> expected = {"ElementToFind: B, 1\n", "NextElement: B, 0\n", "FoundElement: B, 0\n"};
    EXPECT_EQ(m.traces(), expected);
}

TEST(MarkupReader, FindChildAndSibling) {
    Markup m;
    m.Load("<R><A/><B><Y/></B><C/></R>");
    m.traces().clear();
    EXPECT_FALSE(m.Child("Z"));  // stays on R, now in an end state
    EXPECT_EQ(Here(m), (State{"R", 1, false}));
    EXPECT_TRUE(m.Child("A"));
    EXPECT_EQ(Here(m), (State{"A", 2, true}));
    EXPECT_TRUE(m.Sibling("C"));  // skips B
    EXPECT_EQ(Here(m), (State{"C", 2, true}));
    EXPECT_FALSE(m.Sibling("A"));  // only later siblings count: back to R's end
    EXPECT_EQ(Here(m), (State{"R", 1, false}));
    const std::vector<std::string> expected = {"ChildToFind: Z, 0\n",   "FoundChild: R, 1\n",    "ChildToFind: A, 1\n",
                                               "FoundChild: A, 0\n",    "SiblingToFind: C, 0\n", "FoundSibling: C, 0\n",
                                               "SiblingToFind: A, 0\n", "FoundSibling: R, 1\n"};
    EXPECT_EQ(m.traces(), expected);
}

TEST(MarkupReader, StartRuleAppliesOnceToTheFirstReaderOperation) {
    Markup m;
    m.Load("<A><B/></A>");
    ASSERT_EQ(m->EndElement(), S_OK);  // not a reader operation: moves to the document node
    EXPECT_EQ(m.Name(), "");
    EXPECT_EQ(m.Depth(), 1);  // the start rule puts it back on the first child
    ASSERT_EQ(m->EndElement(), S_OK);
    EXPECT_EQ(m.Depth(), 0);  // ... once only
}

TEST(MarkupReader, GetText) {
    struct Case {
        const char* xml;
        const char* text;
    };
    const Case cases[] = {
        {"<A>hello &amp; bye</A>", "hello & bye"},
        {"<A><![CDATA[a<b]]></A>", "a<b"},
        {"<A><B>y</B></A>", ""},  // first child is an element
        {"<A><B/>x</A>", ""},
        {"<A/>", ""},
        {"<A>Größe €𝄞</A>", "Größe €𝄞"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.xml);
        Markup m;
        m.Load(c.xml);
        EXPECT_EQ(m.Text(), c.text);
        EXPECT_FALSE(m.Start());
        EXPECT_EQ(m.Name(), "A");
    }
}

TEST(MarkupReader, GetTextReadsSiblingsInTurn) {
    Markup m;
    m.Load("<R><A>a</A><B>b</B><C>c</C></R>");
    ASSERT_TRUE(m.Find("A"));
    EXPECT_EQ(m.Text(), "a");
    EXPECT_EQ(m.Text(), "b");
    EXPECT_EQ(m.Name(), "B");
    EXPECT_EQ(m.Text(), "c");
    EXPECT_EQ(m.Text(), "");  // C was last: R's end, which holds no text
    EXPECT_EQ(m.Name(), "R");
}

TEST(MarkupReader, IsEmptyElement) {
    Markup m;
    m.Load("<R><A/><B>t</B></R>");
    EXPECT_FALSE(m.Empty());
    ASSERT_TRUE(m.Find("A"));
    EXPECT_TRUE(m.Empty());
    ASSERT_TRUE(m.Find("B"));
    EXPECT_FALSE(m.Empty());
    EXPECT_FALSE(m.Find("Z"));
    EXPECT_TRUE(m.Empty());
}

TEST(MarkupReader, GetOuterXmlMovesToNextSibling) {
    Markup m;
    m.Load("<R><A k=\"v\"><B/></A><C/></R>");
    ASSERT_TRUE(m.Find("A"));
    EXPECT_EQ(m.Outer(), "<A k=\"v\">\n\t<B />\n</A>\n");
    EXPECT_EQ(m.Name(), "C");
    EXPECT_EQ(m.Outer(), "<C />\n");
    EXPECT_EQ(m.Depth(), -1);
    EXPECT_EQ(m.Outer(), "");
}

TEST(MarkupFiles, SaveAndLoadRoundTrip) {
    TempFile file("saved.xml");
    Markup m;
    m.Load("<Job><Process Name=\"Größe\"><PropertyBag><P v=\"1\"/></PropertyBag></Process></Job>");
    const std::string xml = m.Xml();
    ASSERT_EQ(m->SaveFile(file.bstr()), S_OK);
    EXPECT_EQ(file.Read(), xml);
    EXPECT_EQ(xml, std::string(kDeclaration) +
                       "<Job>\n\t<Process Name=\"Größe\">\n\t\t<PropertyBag>\n\t\t\t<P v=\"1\" />\n\t\t</PropertyBag>\n"
                       "\t</Process>\n</Job>\n");
    Markup back;
    ASSERT_EQ(back->LoadFile(file.bstr()), S_OK);
    EXPECT_EQ(back.Xml(), xml);
    ASSERT_TRUE(back.Find("P"));
    EXPECT_EQ(back.Depth(), 4);
}

TEST(MarkupFiles, SaveFileWritesOnlyReaderDocumentsWithContent) {
    TempFile file("none.xml");
    Markup writer;
    writer.Add("A");
    ASSERT_EQ(writer->SaveFile(file.bstr()), S_OK);
    EXPECT_FALSE(file.Exists());
    Markup broken;
    broken.Load("<A>");
    ASSERT_EQ(broken->SaveFile(file.bstr()), S_OK);
    EXPECT_FALSE(file.Exists());
    Markup fresh;
    ASSERT_EQ(fresh->SaveFile(file.bstr()), S_OK);
    EXPECT_FALSE(file.Exists());
}

TEST(MarkupFiles, LoadFileDetectsEncodings) {
    struct Case {
        const char* label;
        std::string bytes;
    };
    const std::string utf16le("\xFF\xFE<\0A\0>\0\xE9\0<\0/\0A\0>\0", 18);
    const Case cases[] = {
        {"utf-8", "<A>\xC3\xA9</A>"},
        {"utf-8 bom", "\xEF\xBB\xBF<A>\xC3\xA9</A>"},
        {"latin-1 declared", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><A>\xE9</A>"},
        {"utf-16le bom", utf16le},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TempFile file("enc.xml");
        file.Write(c.bytes);
        Markup m;
        ASSERT_EQ(m->LoadFile(file.bstr()), S_OK);
        EXPECT_EQ(m.Text(), "é");
    }
}
