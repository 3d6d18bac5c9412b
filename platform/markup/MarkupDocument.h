// MarkupDocument: the XML writer and pull reader behind a host's markup
// object. Writing grows a pugixml document element by element under a current
// position; reading walks a loaded document node by node with start and end
// states, the way saved processes and their host objects read themselves
// back. Texts are UTF-8. Each call is O(1) plus the nodes it walks or the
// text it produces; loading and serialising are linear in the document.
// Walks are iterative, so nesting depth costs no stack.
#pragma once

#include <pugixml.hpp>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class MarkupDocument {
public:
    // Receives "<label>: <name>, <0|1>\n" for every walk step and search.
    using TraceSink = std::function<void(const std::string&)>;

    MarkupDocument() = default;
    MarkupDocument(const MarkupDocument&) = delete;
    MarkupDocument& operator=(const MarkupDocument&) = delete;

    void SetTraceSink(TraceSink sink) { trace_ = std::move(sink); }

    // The writer document serialised (tab indent) if there is one, else the
    // reader document; nullopt without a document. Throws std::bad_alloc for
    // a text longer than kMaxTextUnits UTF-16 units.
    std::optional<std::string> Xml() const;
    // Clear, then parse a file or a text into a new reader document whose
    // first child becomes current. A text that does not parse leaves an empty
    // document; false only when memory ran out.
    bool LoadFile(const std::string& path);
    bool LoadText(std::string_view text);
    // Clear, then a new empty writer document; the document node is current.
    void NewDocument();
    // Drops both documents; the first reader operation afterwards starts at
    // the reader document's first child.
    void Clear();
    // Saves a reader document that has content (the writer is never saved).
    void SaveFile(const std::string& path) const;

    // Writer: a child element of the current node (with a text child when
    // text is not empty) that becomes current; creates a writer document when
    // there is none at all. False only when memory ran out.
    bool AddElement(const std::string& name, const std::string& text);
    bool AddAttribute(const std::string& name, const std::string& value);
    // The current node's parent becomes current.
    void EndElement();
    // Appends copies of a file's top-level nodes under the current node.
    bool AppendFile(const std::string& path);

    // Reader.
    bool FindElement(const std::string& name);  // document order from here
    std::string Attribute(const std::string& name);
    std::string Text();      // the node's character data; leaves it in its end state
    std::string OuterXml();  // the node with its subtree; moves to its next sibling
    std::string Name() const;
    bool IsEmptyElement();
    bool FindSibling(const std::string& name);
    bool FindChild(const std::string& name);
    bool MoveNext();  // stops at element ends
    long Depth();     // -1 without a current node; the outermost element is 1
    bool IsStartElement() const { return !atEnd_; }

    static constexpr std::size_t kMaxTextUnits = 0x7FFFFFF0u / 2;

private:
    void ApplyStartRule();
    bool Advance(bool stopAtEnds);
    void Trace(const char* label, std::string_view name) const;

    std::unique_ptr<pugi::xml_document> writer_;
    std::unique_ptr<pugi::xml_document> reader_;
    pugi::xml_node current_;
    bool atEnd_ = false;
    bool startPending_ = false;
    TraceSink trace_;
};
