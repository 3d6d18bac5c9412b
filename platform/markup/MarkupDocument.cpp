// Markup writer and pull reader over pugixml.
#include "platform/markup/MarkupDocument.h"

#include <new>

namespace {

constexpr const pugi::char_t* kIndent = "\t";

// Serialised UTF-8, refused once it could no longer be handed out as a
// length-prefixed UTF-16 string.
class BoundedWriter final : public pugi::xml_writer {
public:
    void write(const void* data, size_t size) override {
        const auto* bytes = static_cast<const unsigned char*>(data);
        for (size_t i = 0; i < size; ++i) {
            if ((bytes[i] & 0xC0u) != 0x80u) ++units_;  // a lead byte starts one unit
            if (bytes[i] >= 0xF0u) ++units_;            // four bytes: a surrogate pair
        }
        if (units_ > MarkupDocument::kMaxTextUnits) throw std::bad_alloc();
        text_.append(static_cast<const char*>(data), size);
    }
    std::string Take() { return std::move(text_); }

private:
    std::string text_;
    std::size_t units_ = 0;
};

bool IsCharacterData(const pugi::xml_node& node) {
    return node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata;
}

bool Named(const pugi::xml_node& node, const std::string& name) { return name == node.name(); }

}  // namespace

void MarkupDocument::Trace(const char* label, std::string_view name) const {
    if (!trace_) return;
    std::string line(label);
    line += ": ";
    line += name.substr(0, name.find('\0'));
    line += atEnd_ ? ", 1\n" : ", 0\n";
    trace_(line);
}

std::optional<std::string> MarkupDocument::Xml() const {
    const pugi::xml_document* document = writer_ ? writer_.get() : reader_.get();
    if (!document) return std::nullopt;
    BoundedWriter out;
    document->save(out, kIndent, pugi::format_indent, pugi::encoding_auto);
    return out.Take();
}

void MarkupDocument::Clear() {
    writer_.reset();
    reader_.reset();
    current_ = pugi::xml_node();
    atEnd_ = false;
    startPending_ = true;
}

void MarkupDocument::NewDocument() {
    Clear();
    writer_ = std::make_unique<pugi::xml_document>();
    current_ = *writer_;
}

bool MarkupDocument::LoadFile(const std::string& path) {
    Clear();
    reader_ = std::make_unique<pugi::xml_document>();
    const pugi::xml_parse_result result = reader_->load_file(path.c_str(), pugi::parse_default, pugi::encoding_auto);
    if (result) {
        current_ = reader_->first_child();
        return true;
    }
    reader_->reset();  // not the part read before the error
    return result.status != pugi::status_out_of_memory;
}

bool MarkupDocument::LoadText(std::string_view text) {
    Clear();
    reader_ = std::make_unique<pugi::xml_document>();
    const pugi::xml_parse_result result =
        reader_->load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8);
    if (result) {
        current_ = reader_->first_child();
        return true;
    }
    reader_->reset();
    return result.status != pugi::status_out_of_memory;
}

void MarkupDocument::SaveFile(const std::string& path) const {
    if (reader_ && reader_->first_child()) reader_->save_file(path.c_str(), kIndent, pugi::format_indent);
}

bool MarkupDocument::AddElement(const std::string& name, const std::string& text) {
    if (!writer_ && !reader_) NewDocument();
    if (!writer_) return true;
    const bool hasPosition = static_cast<bool>(current_);
    pugi::xml_node element = current_.append_child(pugi::node_element);
    // Without a position nothing is written and no node becomes current.
    if (hasPosition && !(element && element.set_name(name.c_str()))) return false;
    if (element && !text.empty() && !element.append_child(pugi::node_pcdata).set_value(text.c_str())) return false;
    current_ = element;
    return true;
}

bool MarkupDocument::AddAttribute(const std::string& name, const std::string& value) {
    if (!writer_ || !current_) return true;
    pugi::xml_attribute attribute = current_.append_attribute(name.c_str());
    // The document node takes no attributes; that is not a failure.
    if (current_.type() != pugi::node_element) return true;
    return attribute && attribute.set_value(value.c_str());
}

void MarkupDocument::EndElement() {
    if (current_) current_ = current_.parent();
}

bool MarkupDocument::AppendFile(const std::string& path) {
    if (!writer_ && !reader_) NewDocument();
    if (!writer_) return true;
    pugi::xml_document loaded;
    const pugi::xml_parse_result result = loaded.load_file(path.c_str(), pugi::parse_default, pugi::encoding_auto);
    if (!result) return result.status != pugi::status_out_of_memory;
    if (!current_) return true;
    for (pugi::xml_node node : loaded.children())
        if (!current_.append_copy(node)) return false;
    return true;
}

void MarkupDocument::ApplyStartRule() {
    if (writer_ || !startPending_) return;
    if (reader_) {
        if (pugi::xml_node first = reader_->first_child()) current_ = first;
    }
    startPending_ = false;
}

// One step in document order. From an end state: the next sibling, else the
// parent's end. From a start: the first child that is not text (skipping one
// leading text node), else onward from here by climbing: each level's next
// sibling, else its parent, which is an end state when stopping at ends.
bool MarkupDocument::Advance(bool stopAtEnds) {
    ApplyStartRule();
    pugi::xml_node node = current_;
    if (!node) return false;
    bool end = false;
    bool climb = false;
    if (atEnd_) {
        pugi::xml_node next = node.next_sibling();
        end = !next;
        node = next ? next : node.parent();
    } else if (pugi::xml_node child = node.first_child()) {
        if (child.type() != pugi::node_pcdata)
            node = child;
        else if (pugi::xml_node after = child.next_sibling())
            node = after;
        else
            climb = true;
    } else if (pugi::xml_node next = node.next_sibling()) {
        node = next;
    } else {
        node = node.parent();
        climb = true;
    }
    while (climb && node) {
        if (pugi::xml_node next = node.next_sibling()) {
            node = next;
            end = false;
            break;
        }
        node = node.parent();
        end = true;
        if (stopAtEnds) break;
    }
    current_ = node;
    atEnd_ = end;
    Trace("NextElement", current_.name());
    return static_cast<bool>(current_);
}

bool MarkupDocument::MoveNext() { return Advance(true); }

bool MarkupDocument::FindElement(const std::string& name) {
    if (!reader_ || !reader_->first_child()) return false;
    Trace("ElementToFind", name);
    while (atEnd_ && Advance(false)) {
    }
    ApplyStartRule();
    if (!Named(current_, name)) {
        while (Advance(false) && !Named(current_, name)) {
        }
    }
    Trace("FoundElement", current_.name());
    return static_cast<bool>(current_);
}

std::string MarkupDocument::Attribute(const std::string& name) {
    ApplyStartRule();
    for (pugi::xml_attribute attribute : current_.attributes())
        if (name == attribute.name()) return attribute.value();
    return {};
}

std::string MarkupDocument::Text() {
    ApplyStartRule();
    if (atEnd_) Advance(false);
    if (!current_) return {};
    std::string value;
    if (IsCharacterData(current_))
        value = current_.value();
    else if (IsCharacterData(current_.first_child()))
        value = current_.first_child().value();
    atEnd_ = true;
    return value;
}

std::string MarkupDocument::OuterXml() {
    ApplyStartRule();
    if (!current_) return {};
    BoundedWriter out;
    current_.print(out, kIndent, pugi::format_indent, pugi::encoding_auto);
    current_ = current_.next_sibling();
    return out.Take();
}

std::string MarkupDocument::Name() const { return current_.name(); }

bool MarkupDocument::IsEmptyElement() {
    ApplyStartRule();
    return !(current_ && current_.first_child());
}

bool MarkupDocument::FindSibling(const std::string& name) {
    ApplyStartRule();
    Trace("SiblingToFind", name);
    pugi::xml_node sibling = current_.next_sibling();
    while (sibling && !Named(sibling, name)) sibling = sibling.next_sibling();
    current_ = sibling ? sibling : current_.parent();
    atEnd_ = !sibling;
    Trace("FoundSibling", current_.name());
    return static_cast<bool>(sibling);
}

bool MarkupDocument::FindChild(const std::string& name) {
    ApplyStartRule();
    Trace("ChildToFind", name);
    pugi::xml_node child = current_.first_child();
    while (child && !Named(child, name)) child = child.next_sibling();
    if (child) current_ = child;
    atEnd_ = !child;
    Trace("FoundChild", current_.name());
    return static_cast<bool>(child);
}

long MarkupDocument::Depth() {
    ApplyStartRule();
    if (!current_) return -1;
    long steps = 0;
    for (pugi::xml_node node = current_.parent(); node; node = node.parent()) ++steps;
    return steps;
}
