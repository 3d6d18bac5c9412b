// The host's markup object against the process module's own: the same call
// sequences (writing, loading, walking, searching, files) must give the same
// results, outputs and XML, since either object is handed to the other side's
// LoadProperties and SaveProperties. Plus the walks persistence relies on.
#include "host/HostMarkup.h"
#include "platform/com/ComPtr.h"
#include "xml/CZRXMLMarkup.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string ReadFileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

const std::vector<std::string> kNames = {"Job", "Process", "PropertyBag", "Property", "Zone", "b", ""};
const std::vector<std::string> kTexts = {
    "",
    "<Job><Process Name=\"a\" ProgID=\"p\"><PageRange Range=\"1-3\" /><PropertyBag><Property Name=\"SIZE\" "
    "Type=\"VT_I4\" Value=\"3\" /></PropertyBag></Process><Process /></Job>",
    "<?xml version=\"1.0\"?><!-- c --><Job>text<b>x</b>tail<b/><![CDATA[d]]></Job>",
    "<a><b><c>deep</c></b><b k=\"v\" k=\"w\"/></a>",
    "<broken><a></broken>",
    "plain text",
    "<Zone Units=\"4\">\n\t<Zone/>\n</Zone>",
};

// One step applied to a markup object, recorded as text for comparison.
std::string Step(IZRXMLMarkup* markup, int op, const std::string& name, const std::string& text,
                 const std::string& folder, const std::string& tag) {
    std::ostringstream out;
    CComBSTR bname(name), btext(text);
    VARIANT_BOOL flag = VARIANT_FALSE;
    CComBSTR answer;
    LONG depth = 0;
    HRESULT hr = S_OK;
    switch (op) {
        case 0:
            hr = markup->GetXml(&answer);
            break;
        case 1:
            hr = markup->LoadXml(btext);
            break;
        case 2:
            hr = markup->NewDocument();
            break;
        case 3:
            hr = markup->Clear();
            break;
        case 4:
            hr = markup->AddElement(bname, btext);
            break;
        case 5:
            hr = markup->AddAttribute(bname, btext);
            break;
        case 6:
            hr = markup->EndElement();
            break;
        case 7:
            hr = markup->FindElement(bname, &flag);
            break;
        case 8:
            hr = markup->GetAttribute(bname, &answer);
            break;
        case 9:
            hr = markup->GetText(&answer);
            break;
        case 10:
            hr = markup->GetOuterXml(&answer);
            break;
        case 11:
            hr = markup->GetName(&answer);
            break;
        case 12:
            hr = markup->IsEmptyElement(&flag);
            break;
        case 13:
            hr = markup->FindSibling(bname, &flag);
            break;
        case 14:
            hr = markup->FindChild(bname, &flag);
            break;
        case 15:
            hr = markup->MoveNext(&flag);
            break;
        case 16:
            hr = markup->GetDepth(&depth);
            break;
        case 17:
            hr = markup->IsStartElement(&flag);
            break;
        case 18: {
            CComBSTR path(folder + "/saved-" + tag + ".xml");
            hr = markup->SaveFile(path);
            out << "file:" << ReadFileText(folder + "/saved-" + tag + ".xml");
            std::remove((folder + "/saved-" + tag + ".xml").c_str());
            break;
        }
        case 19: {
            CComBSTR path(folder + "/input.xml");
            hr = markup->LoadFile(path);
            break;
        }
        case 20: {
            CComBSTR path(folder + "/input.xml");
            hr = markup->AppendFile(path);
            break;
        }
        default: {
            CComBSTR stored;
            markup->SetTag(bname);
            hr = markup->GetTag(&stored);
            answer = stored;
            break;
        }
    }
    out << std::hex << hr << " " << (flag ? 1 : 0) << " " << depth << " [" << answer.utf8() << "]";
    return out.str();
}

TEST(HostMarkupTest, BehavesCallForCallAsTheModulesMarkupObject) {
    const std::string folder = testing::TempDir();
    {
        std::ofstream input(folder + "/input.xml", std::ios::binary);
        input << kTexts[1];
    }
    std::mt19937 random(20261207);
    int steps = 0;
    for (int sequence = 0; sequence < 400; ++sequence) {
        CComPtr<IZRXMLMarkup> host, module;
        ASSERT_EQ(CreateHostMarkup(&host), S_OK);
        ASSERT_EQ(CreateXMLMarkup(&module), S_OK);
        std::vector<std::string> trail;
        for (int i = 0; i < 40; ++i, ++steps) {
            // Loads and writes are rarer than walks, so walks see documents.
            const int op = (random() % 4 == 0) ? static_cast<int>(random() % 22) : 7 + static_cast<int>(random() % 11);
            const std::string& name = kNames[random() % kNames.size()];
            const std::string& text = kTexts[random() % kTexts.size()];
            const std::string fromHost = Step(host, op, name, text, folder, "host");
            const std::string fromModule = Step(module, op, name, text, folder, "module");
            trail.push_back(std::to_string(op) + " " + name);
            ASSERT_EQ(fromHost, fromModule) << "sequence " << sequence << " after:\n"
                                            << ::testing::PrintToString(trail);
        }
    }
    EXPECT_EQ(steps, 400 * 40);
}

// Walks a "Process" element the way a saved process loads itself: every
// start element below it with its depth, until the element ends.
std::vector<std::string> ChildrenOfProcess(IZRXMLMarkup* markup) {
    std::vector<std::string> seen;
    CComBSTR process(u"Process");
    VARIANT_BOOL found = VARIANT_FALSE;
    markup->FindElement(process, &found);
    if (!found) return seen;
    LONG top = 0;
    markup->GetDepth(&top);
    for (;;) {
        VARIANT_BOOL moved = VARIANT_FALSE, start = VARIANT_FALSE;
        markup->MoveNext(&moved);
        if (!moved) break;
        LONG depth = 0;
        markup->GetDepth(&depth);
        if (depth <= top) break;
        markup->IsStartElement(&start);
        CComBSTR name;
        markup->GetName(&name);
        if (start) seen.push_back(name.utf8() + "@" + std::to_string(depth));
    }
    return seen;
}

TEST(HostMarkupTest, WalksAProcessElementDownToItsEnd) {
    CComPtr<IZRXMLMarkup> markup;
    ASSERT_EQ(CreateHostMarkup(&markup), S_OK);
    CComBSTR xml(
        u"<?xml version=\"1.0\"?><Job><Process Name=\"x\"><PageRange Range=\"\" /><PropertyBag>"
        u"<Property Name=\"A\" Type=\"VT_I2\" Value=\"1\" /></PropertyBag><ZoneManager /></Process><After /></Job>");
    ASSERT_EQ(markup->LoadXml(xml), S_OK);
    EXPECT_EQ(ChildrenOfProcess(markup),
              (std::vector<std::string>{"PageRange@3", "PropertyBag@3", "Property@4", "ZoneManager@3"}));
    CComBSTR name;
    markup->GetName(&name);
    EXPECT_EQ(name.utf8(), "After") << "the walk stops on what follows the element";
}

TEST(HostMarkupTest, WritesNestedElementsWithTabIndentation) {
    CComPtr<IZRXMLMarkup> markup;
    ASSERT_EQ(CreateHostMarkup(&markup), S_OK);
    CComBSTR a(u"A"), b(u"B"), x(u"x"), k(u"k"), v(u"v"), empty(u"");
    markup->AddElement(a, empty);
    markup->AddElement(b, x);
    markup->AddAttribute(k, v);
    markup->EndElement();
    CComBSTR out;
    ASSERT_EQ(markup->GetXml(&out), S_OK);
    EXPECT_EQ(out.utf8(), "<?xml version=\"1.0\"?>\n<A>\n\t<B k=\"v\">x</B>\n</A>\n");
}

TEST(HostMarkupTest, AFileThatDoesNotParseLoadsAsAnEmptyDocument) {
    CComPtr<IZRXMLMarkup> markup;
    ASSERT_EQ(CreateHostMarkup(&markup), S_OK);
    CComBSTR broken(u"<a><b></a>");
    EXPECT_EQ(markup->LoadXml(broken), S_OK);
    LONG depth = 0;
    markup->GetDepth(&depth);
    EXPECT_EQ(depth, -1);
    CComBSTR name(u"a");
    VARIANT_BOOL found = VARIANT_TRUE;
    markup->FindElement(name, &found);
    EXPECT_EQ(found, VARIANT_FALSE);
}

}  // namespace
