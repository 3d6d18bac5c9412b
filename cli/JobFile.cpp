// Job file loading and saving.
#include "cli/JobFile.h"

#include "host/HostMarkup.h"

#include <unistd.h>

#include <pugixml.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Line number (1-based) of a byte offset in the text.
long LineOf(const std::string& text, std::ptrdiff_t offset) {
    long line = 1;
    for (std::ptrdiff_t i = 0; i < offset && i < static_cast<std::ptrdiff_t>(text.size()); ++i)
        if (text[static_cast<std::size_t>(i)] == '\n') ++line;
    return line;
}

}  // namespace

std::vector<PipelineStep> JobFile::Load(const std::string& path, const ProcessFactory& factory) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw CliError(path + ": cannot read the job file");
    std::stringstream buffer;
    buffer << in.rdbuf();
    const std::string text = buffer.str();

    // A first pass for well-formedness and the line of every "Process" element.
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_buffer(text.data(), text.size());
    if (!parsed)
        throw CliError(path + ":" + std::to_string(LineOf(text, parsed.offset)) +
                       ": malformed XML: " + parsed.description());
    pugi::xml_node root = doc.document_element();
    if (!root) throw CliError(path + ": the job file has no root element");
    std::vector<long> lines;
    for (pugi::xml_node node : root.children())
        if (node.type() == pugi::node_element && Lower(node.name()) == "process")
            lines.push_back(LineOf(text, node.offset_debug()));
    if (lines.empty()) throw CliError(path + ": the job file holds no Process element");

    // The processes read their own elements through the markup reader.
    CComPtr<IZRXMLMarkup> markup;
    if (FAILED(CreateHostMarkup(&markup))) throw CliError("cannot create the XML reader");
    CComBSTR xml(text);
    markup->LoadXml(xml);
    std::vector<PipelineStep> steps;
    LONG rootDepth = -1;
    for (;;) {
        VARIANT_BOOL start = VARIANT_FALSE;
        LONG depth = 0;
        markup->IsStartElement(&start);
        markup->GetDepth(&depth);
        CComBSTR name;
        markup->GetName(&name);
        if (start && rootDepth < 0 && depth == 1) rootDepth = 1;
        if (start && depth == 2 && Lower(name.utf8()) == "process") {
            const long line = steps.size() < lines.size() ? lines[steps.size()] : 0;
            const std::string where = path + ":" + std::to_string(line) + ": ";
            CComBSTR progIdKey(u"ProgID"), progId;
            markup->GetAttribute(progIdKey, &progId);
            if (progId.Length() == 0) throw CliError(where + "Process element without a ProgID");
            CComPtr<IZRProcessEx> process;
            try {
                process = factory.Create(progId.utf8());
            } catch (const CliError& e) {
                throw CliError(where + e.what());
            }
            const HRESULT hr = process->LoadProperties(markup);
            if (FAILED(hr)) throw CliError(where + ProcessFactory::LastErrorText(hr));
            CComBSTR processName;
            process->get_Name(&processName);
            std::string shown = processName.utf8();
            if (shown.empty()) {
                shown = factory.ResolveProgId(progId.utf8());
                CComBSTR fallback(shown);
                process->put_Name(fallback);
            }
            steps.push_back(PipelineStep{shown, process});
            // An empty Process element leaves the reader on the next element's start.
            markup->IsStartElement(&start);
            markup->GetDepth(&depth);
            if (start && depth <= 2) continue;
        }
        VARIANT_BOOL moved = VARIANT_FALSE;
        if (FAILED(markup->MoveNext(&moved)) || !moved) break;
    }
    return steps;
}

void JobFile::Save(const std::string& path, const std::vector<PipelineStep>& steps) {
    CComPtr<IZRXMLMarkup> markup;
    if (FAILED(CreateHostMarkup(&markup))) throw CliError("cannot create the XML writer");
    CComBSTR root(u"Job"), empty(u"");
    markup->AddElement(root, empty);
    for (const PipelineStep& step : steps) {
        const HRESULT hr = step.process->SaveProperties(markup);
        if (FAILED(hr)) throw CliError("cannot save " + step.name + ": " + ProcessFactory::LastErrorText(hr));
    }
    markup->EndElement();
    CComBSTR xml;
    markup->GetXml(&xml);
    const std::string temp = path + ".part" + std::to_string(::getpid());
    {
        std::ofstream out(temp, std::ios::binary);
        out << xml.utf8();
        if (!out) throw CliError(path + ": cannot write the job file");
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        throw CliError(path + ": cannot write the job file");
    }
}
