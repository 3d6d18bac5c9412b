// Markup helpers of the host objects.
#include "host/MarkupReader.h"

#include "platform/com/ErrorInfo.h"

HRESULT ReportHostError(const HostError& error, REFIID iid) {
    CComPtr<ICreateErrorInfo> create;
    if (SUCCEEDED(CreateErrorInfo(&create)) && create) {
        std::u16string text = Utf8ToUtf16(error.message);
        create->SetDescription(text.data());
        create->SetGUID(iid);
        CComPtr<IErrorInfo> info;
        if (SUCCEEDED(create.QueryInterface(&info))) SetErrorInfo(0, info);
    }
    return error.hr;
}

MarkupWriter::MarkupWriter(IZRXMLMarkup* markup) : markup_(markup) {
    if (!markup_) throw HostError{E_POINTER, "no markup object"};
}

void MarkupWriter::Begin(const char* element) {
    CComBSTR name(element), empty(u"");
    const HRESULT hr = markup_->AddElement(name, empty);
    if (FAILED(hr)) throw HostError{hr, std::string("cannot write element ") + element};
}

void MarkupWriter::Attribute(const char* name, const std::string& value) {
    CComBSTR key(name), text(value);
    const HRESULT hr = markup_->AddAttribute(key, text);
    if (FAILED(hr)) throw HostError{hr, std::string("cannot write attribute ") + name};
}

void MarkupWriter::End() {
    const HRESULT hr = markup_->EndElement();
    if (FAILED(hr)) throw HostError{hr, "cannot close element"};
}

MarkupReader::MarkupReader(IZRXMLMarkup* markup) : markup_(markup) {
    if (!markup_) throw HostError{E_POINTER, "no markup object"};
}

void MarkupReader::Check(HRESULT hr) {
    if (FAILED(hr)) throw HostError{hr, "cannot read the XML"};
}

std::string MarkupReader::Name() {
    CComBSTR name;
    Check(markup_->GetName(&name));
    return name.utf8();
}

std::string MarkupReader::Attribute(const char* name) {
    CComBSTR key(name), value;
    Check(markup_->GetAttribute(key, &value));
    return value.utf8();
}

bool MarkupReader::IsEmpty() {
    VARIANT_BOOL empty = VARIANT_TRUE;
    Check(markup_->IsEmptyElement(&empty));
    return empty != VARIANT_FALSE;
}

void MarkupReader::SkipChildren() {
    if (IsEmpty()) return;
    // No element is named "<": the search fails and leaves the reader on the
    // current element's end.
    CComBSTR none(u"<");
    VARIANT_BOOL found = VARIANT_FALSE;
    Check(markup_->FindChild(none, &found));
}

bool MarkupReader::HasAttribute(const char* name) { return !Attribute(name).empty(); }

LONG MarkupReader::Depth() {
    LONG depth = 0;
    Check(markup_->GetDepth(&depth));
    return depth;
}
