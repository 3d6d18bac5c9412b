// CZRXMLMarkup: writer and pull reader over pugixml documents. Walking is
// iterative (no recursion over the tree), so hostile nesting depth only costs
// time and memory linear in the document. Serialised text larger than a BSTR
// can hold stops early with E_OUTOFMEMORY.
#include "xml/CZRXMLMarkup.h"

#include "platform/com/Bstr.h"
#include "platform/win32/SystemFolders.h"

#include <cstring>
#include <new>
#include <utility>

namespace {

constexpr const pugi::char_t* kIndent = PUGIXML_TEXT("\t");
constexpr unsigned kFormat = pugi::format_indent;
constexpr unsigned kParse = pugi::parse_default;
// SysAllocStringLen refuses more than this many bytes.
constexpr std::size_t kMaxBstrUnits = 0x7FFFFFF0u / sizeof(OLECHAR);

// Collects serialised UTF-8 and gives up once the text could no longer fit
// in a BSTR, counting UTF-16 code units as the bytes arrive.
class BoundedTextWriter final : public pugi::xml_writer {
public:
    void write(const void* data, size_t size) override {
        const auto* bytes = static_cast<const unsigned char*>(data);
        for (size_t i = 0; i < size; ++i) {
            if ((bytes[i] & 0xC0u) != 0x80u) ++units_;  // lead byte: one unit
            if (bytes[i] >= 0xF0u) ++units_;            // four-byte sequence: surrogate pair
        }
        if (units_ > kMaxBstrUnits) throw std::bad_alloc();
        text_.append(static_cast<const char*>(data), size);
    }
    const std::string& text() const { return text_; }

private:
    std::string text_;
    std::size_t units_ = 0;
};

// A BSTR argument as UTF-8 (null is the empty string).
std::string Narrow(BSTR text) { return BstrToUtf8(text); }

HRESULT ToBstr(std::string_view utf8, BSTR* out) {
    *out = Utf8ToBstr(utf8);
    return *out ? S_OK : E_OUTOFMEMORY;
}

// A copy of every byte of a BSTR, odd byte counts and embedded zeros included.
BSTR CopyBstrBytes(BSTR source, bool& failed) {
    failed = false;
    if (!source) return nullptr;
    const UINT bytes = SysStringByteLen(source);
    BSTR copy = SysAllocStringLen(nullptr, (bytes + 1) / 2);
    if (!copy) {
        failed = true;
        return nullptr;
    }
    std::memcpy(copy, source, bytes);
    if (bytes % 2) {
        // The length prefix holds the exact byte count, as for a byte-allocated string.
        const std::uint32_t prefix = bytes;
        std::memcpy(reinterpret_cast<unsigned char*>(copy) - sizeof(prefix), &prefix, sizeof(prefix));
    }
    return copy;
}

bool NameIs(const pugi::xml_node& node, std::string_view name) { return std::string_view(node.name()) == name; }

bool IsTextNode(const pugi::xml_node& node) { return node.type() == pugi::node_pcdata; }

VARIANT_BOOL ToVariantBool(bool value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }

}  // namespace

CZRXMLMarkup::CZRXMLMarkup() = default;

CZRXMLMarkup::~CZRXMLMarkup() { SysFreeString(tag_); }

void* CZRXMLMarkup::QueryInterfaceMap(REFIID riid) {
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IZRXMLMarkup)
        return static_cast<IZRXMLMarkup*>(this);
    return nullptr;
}

void CZRXMLMarkup::Trace(const OLECHAR* text) { OutputDebugStringW(text); }

template <class Body>
HRESULT CZRXMLMarkup::Guarded(Body&& body) {
    try {
        return std::forward<Body>(body)();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// ---- state changes shared by several operations ----

void CZRXMLMarkup::ClearState() {
    writer_.reset();
    reader_.reset();
    current_ = pugi::xml_node();
    atEnd_ = 0;
    startPending_ = 1;
}

void CZRXMLMarkup::NewDocumentState() {
    ClearState();
    writer_ = std::make_unique<pugi::xml_document>();
    current_ = *writer_;
}

HRESULT CZRXMLMarkup::LoadInto(bool fromFile, const std::string& source) {
    ClearState();
    reader_ = std::make_unique<pugi::xml_document>();
    const pugi::xml_parse_result result =
        fromFile ? reader_->load_file(source.c_str(), kParse, pugi::encoding_auto)
                 : reader_->load_buffer(source.data(), source.size(), kParse, pugi::encoding_utf8);
    if (result) {
        current_ = reader_->first_child();
        return S_OK;
    }
    // pugixml keeps what it parsed before the error; a failed load is empty.
    reader_->reset();
    current_ = pugi::xml_node();
    return result.status == pugi::status_out_of_memory ? E_OUTOFMEMORY : S_OK;
}

void CZRXMLMarkup::ApplyStartRule() {
    if (writer_ || !startPending_) return;
    // Without a reader document this behaves as for an empty one.
    if (reader_) {
        if (pugi::xml_node first = reader_->first_child()) current_ = first;
    }
    startPending_ = 0;
}

void CZRXMLMarkup::TraceNode(const char* label, std::string_view name) {
    // "<label>: %s, %d\n" with the name and the at-end flag.
    std::string line(label);
    line += ": ";
    line += name.substr(0, name.find('\0'));
    line += atEnd_ ? ", 1\n" : ", 0\n";
    const std::u16string wide = Utf8ToUtf16(line);
    Trace(wide.c_str());
}

bool CZRXMLMarkup::Advance(bool stopAtEnds) {
    ApplyStartRule();
    pugi::xml_node node = current_;
    if (!node) return false;
    BYTE atEnd = 0;
    bool climb = false;
    if (atEnd_) {
        if (pugi::xml_node next = node.next_sibling()) {
            node = next;
        } else {
            node = node.parent();
            atEnd = 1;
        }
    } else if (pugi::xml_node child = node.first_child()) {
        if (!IsTextNode(child)) {
            node = child;
        } else if (pugi::xml_node after = child.next_sibling()) {
            node = after;
        } else {
            climb = true;
        }
    } else if (pugi::xml_node next = node.next_sibling()) {
        node = next;
    } else {
        node = node.parent();
        climb = true;
    }
    // Climbing: the next sibling if any, else the parent (an end state when
    // stopping at ends); past the document node there is no current node.
    while (climb && node) {
        if (pugi::xml_node next = node.next_sibling()) {
            node = next;
            atEnd = 0;
            break;
        }
        node = node.parent();
        atEnd = 1;
        if (stopAtEnds) break;
    }
    current_ = node;
    atEnd_ = atEnd;
    TraceNode("NextElement", current_.name());
    return static_cast<bool>(current_);
}

// ---- IZRXMLMarkup ----

HRESULT CZRXMLMarkup::GetXml(BSTR* xml) {
    if (!xml) return E_POINTER;
    *xml = nullptr;
    return Guarded([&] {
        const pugi::xml_document* doc = writer_ ? writer_.get() : reader_.get();
        if (!doc) return S_OK;
        BoundedTextWriter out;
        doc->save(out, kIndent, kFormat, pugi::encoding_auto);
        return ToBstr(out.text(), xml);
    });
}

HRESULT CZRXMLMarkup::LoadFile(BSTR path) {
    return Guarded([&] { return LoadInto(true, Narrow(path)); });
}

HRESULT CZRXMLMarkup::LoadXml(BSTR text) {
    return Guarded([&] { return LoadInto(false, Narrow(text)); });
}

HRESULT CZRXMLMarkup::NewDocument() {
    return Guarded([&] {
        NewDocumentState();
        return S_OK;
    });
}

HRESULT CZRXMLMarkup::Clear() {
    ClearState();
    return S_OK;
}

HRESULT CZRXMLMarkup::SaveFile(BSTR path) {
    return Guarded([&] {
        if (reader_ && reader_->first_child()) {
            // A failed write is not reported: the operation always answers S_OK.
            reader_->save_file(Narrow(path).c_str(), kIndent, kFormat, pugi::encoding_auto);
        }
        return S_OK;
    });
}

HRESULT CZRXMLMarkup::AddElement(BSTR name, BSTR text) {
    return Guarded([&] {
        if (!writer_ && !reader_) NewDocumentState();
        if (!writer_) return S_OK;
        // Writer positions are the document node, elements or none; pugixml
        // refuses a child of the first two only when memory runs out.
        const bool canHoldChildren = static_cast<bool>(current_);
        pugi::xml_node element = current_.append_child(pugi::node_element);
        if (canHoldChildren && !(element && element.set_name(Narrow(name).c_str()))) return E_OUTOFMEMORY;
        const std::string value = Narrow(text);
        if (element && !value.empty() && !element.append_child(pugi::node_pcdata).set_value(value.c_str()))
            return E_OUTOFMEMORY;
        current_ = element;
        return S_OK;
    });
}

HRESULT CZRXMLMarkup::AddAttribute(BSTR name, BSTR value) {
    return Guarded([&] {
        if (!writer_ || !current_) return S_OK;
        // Only elements take attributes; on the document node nothing is written.
        pugi::xml_attribute attribute = current_.append_attribute(Narrow(name).c_str());
        if (current_.type() == pugi::node_element && !(attribute && attribute.set_value(Narrow(value).c_str())))
            return E_OUTOFMEMORY;
        return S_OK;
    });
}

HRESULT CZRXMLMarkup::EndElement() {
    if (current_) current_ = current_.parent();
    return S_OK;
}

HRESULT CZRXMLMarkup::FindElement(BSTR name, VARIANT_BOOL* found) {
    if (!found) return E_POINTER;
    *found = VARIANT_FALSE;
    return Guarded([&] {
        if (!reader_ || !reader_->first_child()) return S_OK;
        const std::string wanted = Narrow(name);
        TraceNode("ElementToFind", wanted);
        while (atEnd_) {
            if (!Advance(false)) break;
        }
        ApplyStartRule();
        if (!NameIs(current_, wanted)) {
            while (Advance(false)) {
                if (NameIs(current_, wanted)) break;
            }
        }
        TraceNode("FoundElement", current_.name());
        *found = ToVariantBool(static_cast<bool>(current_));
        return S_OK;
    });
}

HRESULT CZRXMLMarkup::GetAttribute(BSTR name, BSTR* value) {
    if (!value) return E_POINTER;
    *value = nullptr;
    return Guarded([&] {
        ApplyStartRule();
        const std::string wanted = Narrow(name);
        for (pugi::xml_attribute attribute : current_.attributes()) {
            if (std::string_view(attribute.name()) == wanted) return ToBstr(attribute.value(), value);
        }
        return ToBstr("", value);
    });
}

HRESULT CZRXMLMarkup::GetText(BSTR* text) {
    if (!text) return E_POINTER;
    *text = nullptr;
    return Guarded([&] {
        ApplyStartRule();
        if (atEnd_) Advance(false);
        if (!current_) return ToBstr("", text);
        // The node's own text when it is character data, else the text of its
        // first child when that child is character data; otherwise "".
        std::string_view value;
        const pugi::xml_node_type type = current_.type();
        if (type == pugi::node_pcdata || type == pugi::node_cdata) {
            value = current_.value();
        } else {
            const pugi::xml_node child = current_.first_child();
            if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) value = child.value();
        }
        atEnd_ = 1;
        return ToBstr(value, text);
    });
}

HRESULT CZRXMLMarkup::GetOuterXml(BSTR* xml) {
    if (!xml) return E_POINTER;
    *xml = nullptr;
    return Guarded([&] {
        ApplyStartRule();
        if (!current_) return ToBstr("", xml);
        BoundedTextWriter out;
        current_.print(out, kIndent, kFormat, pugi::encoding_auto);
        const HRESULT hr = ToBstr(out.text(), xml);
        if (SUCCEEDED(hr)) current_ = current_.next_sibling();
        return hr;
    });
}

HRESULT CZRXMLMarkup::AppendFile(BSTR path) {
    return Guarded([&] {
        if (!writer_ && !reader_) NewDocumentState();
        if (!writer_) return S_OK;
        pugi::xml_document loaded;
        // A file that does not parse contributes nothing (not the part read before the error).
        const pugi::xml_parse_result result = loaded.load_file(Narrow(path).c_str(), kParse, pugi::encoding_auto);
        if (!result) return result.status == pugi::status_out_of_memory ? E_OUTOFMEMORY : S_OK;
        for (pugi::xml_node node : loaded.children()) {
            if (current_ && !current_.append_copy(node)) return E_OUTOFMEMORY;
        }
        return S_OK;
    });
}

HRESULT CZRXMLMarkup::GetName(BSTR* name) {
    if (!name) return E_POINTER;
    *name = nullptr;
    return Guarded([&] { return ToBstr(current_.name(), name); });
}

HRESULT CZRXMLMarkup::SetTag(BSTR tag) {
    bool failed = false;
    BSTR copy = CopyBstrBytes(tag, failed);
    if (failed) return E_OUTOFMEMORY;
    SysFreeString(std::exchange(tag_, copy));
    return S_OK;
}

HRESULT CZRXMLMarkup::GetTag(BSTR* tag) {
    if (!tag) return E_POINTER;
    bool failed = false;
    *tag = CopyBstrBytes(tag_, failed);
    return failed ? E_OUTOFMEMORY : S_OK;
}

HRESULT CZRXMLMarkup::IsEmptyElement(VARIANT_BOOL* empty) {
    if (!empty) return E_POINTER;
    ApplyStartRule();
    *empty = ToVariantBool(!(current_ && current_.first_child()));
    return S_OK;
}

HRESULT CZRXMLMarkup::FindSibling(BSTR name, VARIANT_BOOL* found) {
    if (!found) return E_POINTER;
    *found = VARIANT_FALSE;
    return Guarded([&] {
        ApplyStartRule();
        const std::string wanted = Narrow(name);
        TraceNode("SiblingToFind", wanted);
        pugi::xml_node sibling = current_.next_sibling();
        while (sibling && !NameIs(sibling, wanted)) sibling = sibling.next_sibling();
        if (sibling) {
            current_ = sibling;
            atEnd_ = 0;
        } else {
            current_ = current_.parent();
            atEnd_ = 1;
        }
        TraceNode("FoundSibling", current_.name());
        *found = ToVariantBool(static_cast<bool>(sibling));
        return S_OK;
    });
}

HRESULT CZRXMLMarkup::FindChild(BSTR name, VARIANT_BOOL* found) {
    if (!found) return E_POINTER;
    *found = VARIANT_FALSE;
    return Guarded([&] {
        ApplyStartRule();
        const std::string wanted = Narrow(name);
        TraceNode("ChildToFind", wanted);
        pugi::xml_node child = current_.first_child();
        while (child && !NameIs(child, wanted)) child = child.next_sibling();
        if (child) {
            current_ = child;
            atEnd_ = 0;
        } else {
            atEnd_ = 1;
        }
        TraceNode("FoundChild", current_.name());
        *found = ToVariantBool(static_cast<bool>(child));
        return S_OK;
    });
}

HRESULT CZRXMLMarkup::MoveNext(VARIANT_BOOL* moved) {
    if (!moved) return E_POINTER;
    *moved = VARIANT_FALSE;
    return Guarded([&] {
        *moved = ToVariantBool(Advance(true));
        return S_OK;
    });
}

HRESULT CZRXMLMarkup::GetDepth(LONG* depth) {
    if (!depth) return E_POINTER;
    ApplyStartRule();
    if (!current_) {
        *depth = -1;
        return S_OK;
    }
    LONG steps = 0;
    for (pugi::xml_node node = current_.parent(); node; node = node.parent()) ++steps;
    *depth = steps;
    return S_OK;
}

HRESULT CZRXMLMarkup::IsStartElement(VARIANT_BOOL* start) {
    if (!start) return E_POINTER;
    *start = ToVariantBool(atEnd_ == 0);
    return S_OK;
}

HRESULT CreateXMLMarkup(IZRXMLMarkup** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    CComObject<CZRXMLMarkup>* object = nullptr;
    const HRESULT hr = CComObject<CZRXMLMarkup>::CreateInstance(&object);
    if (FAILED(hr)) return hr;
    object->AddRef();
    *out = object;
    return S_OK;
}
