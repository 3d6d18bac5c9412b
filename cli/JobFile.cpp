// pugixml parses the file; each Process element is then handed to its
// process through a markup reader of its own, so a process reads exactly
// its element. Every walk here is iterative and visits each node once.
#include "cli/JobFile.h"

#include "cli/AtomicFile.h"
#include "cli/Text.h"
#include "host/HostMarkup.h"

#include <pugixml.hpp>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {

// Line numbers of byte offsets, from one scan of the text.
class LineTable {
public:
    explicit LineTable(std::string_view text) {
        for (std::size_t i = 0; i < text.size(); ++i)
            if (text[i] == '\n') breaks_.push_back(i);
    }
    long LineOf(std::ptrdiff_t offset) const {
        const auto at = std::lower_bound(breaks_.begin(), breaks_.end(),
                                         static_cast<std::size_t>(std::max<std::ptrdiff_t>(offset, 0)));
        return static_cast<long>(at - breaks_.begin()) + 1;
    }

private:
    std::vector<std::size_t> breaks_;
};

class StringWriter : public pugi::xml_writer {
public:
    void write(const void* data, size_t size) override { text.append(static_cast<const char*>(data), size); }
    std::string text;
};

// Refuses a document deeper or larger than the limits, naming the first
// element past them. Pre-order walk without recursion.
void CheckShape(const pugi::xml_node& root, const JobLimits& limits, const LineTable& lines, const std::string& name) {
    std::size_t depth = 1, elements = 0;
    pugi::xml_node node = root;
    while (node) {
        if (node.type() == pugi::node_element) {
            if (++elements > limits.elements)
                throw CliError(name + ":" + std::to_string(lines.LineOf(node.offset_debug())) +
                               ": the job file holds more than " + std::to_string(limits.elements) + " elements");
            if (depth > limits.depth)
                throw CliError(name + ":" + std::to_string(lines.LineOf(node.offset_debug())) +
                               ": elements nested deeper than " + std::to_string(limits.depth) + " levels");
        }
        if (pugi::xml_node child = node.first_child()) {
            node = child;
            ++depth;
            continue;
        }
        while (node && node != root && !node.next_sibling()) {
            node = node.parent();
            --depth;
        }
        if (!node || node == root) break;
        node = node.next_sibling();
    }
}

// The line of the Property element for `key` inside a Process element, else the Process's own.
long PropertyLine(const pugi::xml_node& process, const std::string& key, const LineTable& lines) {
    for (pugi::xml_node bag : process.children())
        for (pugi::xml_node property : bag.children())
            if (text::Lower(property.attribute("Name").value()) == text::Lower(key))
                return lines.LineOf(property.offset_debug());
    return lines.LineOf(process.offset_debug());
}

// A saved Property whose Type differs from the declared one is rewritten to
// the declared type before the process reads it ("180" saved as VT_BSTR for
// a VT_I2 key becomes VT_I2 180), or the job is refused naming both types.
void ConvertSavedTypes(pugi::xml_node element, const std::vector<PropertyInfo>& declared, const LineTable& lines,
                       const std::string& name) {
    for (pugi::xml_node bag : element.children("PropertyBag")) {
        for (pugi::xml_node property : bag.children("Property")) {
            const std::string key = property.attribute("Name").value();
            const auto match = std::find_if(declared.begin(), declared.end(), [&](const PropertyInfo& info) {
                return text::Lower(info.name) == text::Lower(key);
            });
            const std::string saved = property.attribute("Type").value();
            if (match == declared.end() || match->type.empty() || saved.empty() || saved == match->type) continue;
            CComVariant value(property.attribute("Value").value());
            CComVariant converted;
            if (FAILED(VariantChangeType(&converted, &value, 0, VarTypeFromName(match->type))))
                throw CliError(name + ":" + std::to_string(lines.LineOf(property.offset_debug())) + ": " + key +
                               ": the saved " + saved + " value '" + property.attribute("Value").value() +
                               "' cannot become the declared " + match->type);
            property.attribute("Type").set_value(match->type.c_str());
            property.attribute("Value").set_value(VariantToText(converted).c_str());
        }
    }
}

// After loading, every declared property must hold its declared type.
void CheckDeclaredTypes(IZRProcessEx* process, const std::vector<PropertyInfo>& declared, const pugi::xml_node& element,
                        const LineTable& lines, const std::string& name) {
    for (const PropertyInfo& property : declared) {
        CComBSTR key(property.name);
        CComVariant value;
        if (property.type.empty() || FAILED(process->get_Properties(key, &value))) continue;
        if (value.vt != VarTypeFromName(property.type))
            throw CliError(name + ":" + std::to_string(PropertyLine(element, property.name, lines)) + ": " +
                           property.name + ": holds a " + VarTypeName(value.vt) + " value, declared " + property.type);
    }
}

// The job text with a "Mode" attribute on each Process element whose process
// has a mode other than 0 (the processes do not save their mode themselves).
std::string WithModes(const std::string& xml, const std::vector<PipelineStep>& steps) {
    std::vector<LONG> modes;
    for (const PipelineStep& step : steps) {
        LONG mode = 0;
        step.process->get_Mode(&mode);
        modes.push_back(mode);
    }
    if (std::all_of(modes.begin(), modes.end(), [](LONG mode) { return mode == 0; })) return xml;
    pugi::xml_document doc;
    if (!doc.load_buffer(xml.data(), xml.size(), pugi::parse_default | pugi::parse_declaration))
        throw RunFailure("cannot add the process modes to the job file");
    std::size_t index = 0;
    for (pugi::xml_node element : doc.document_element().children("Process")) {
        if (index < modes.size() && modes[index] != 0) {
            pugi::xml_attribute mode = element.insert_attribute_after("Mode", element.attribute("ProgID"));
            if (!mode) mode = element.append_attribute("Mode");
            mode.set_value(std::to_string(modes[index]).c_str());
        }
        ++index;
    }
    StringWriter text;
    doc.save(text, "\t");
    return text.text;
}

}  // namespace

std::vector<PipelineStep> JobFile::Load(const std::string& path, const ProcessFactory& factory,
                                        const JobLimits& limits) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw CliError(path + ": cannot read the job file");
    std::string content(limits.bytes + 1, '\0');
    in.read(content.data(), static_cast<std::streamsize>(content.size()));
    if (in.bad()) throw CliError(path + ": cannot read the job file");
    const auto got = static_cast<std::size_t>(in.gcount());
    if (got > limits.bytes)
        throw CliError(path + ": the job file is larger than " + std::to_string(limits.bytes >> 20) + " MiB");
    content.resize(got);
    return Parse(content, path, factory, limits);
}

std::vector<PipelineStep> JobFile::Parse(std::string_view content, const std::string& name,
                                         const ProcessFactory& factory, const JobLimits& limits) {
    const LineTable lines(content);
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_buffer(content.data(), content.size());
    if (!parsed)
        throw CliError(name + ":" + std::to_string(lines.LineOf(parsed.offset)) +
                       ": malformed XML: " + parsed.description());
    const pugi::xml_node root = doc.document_element();
    if (!root) throw CliError(name + ": the job file has no root element");
    CheckShape(root, limits, lines, name);

    std::vector<PipelineStep> steps;
    for (pugi::xml_node element : root.children()) {
        if (element.type() != pugi::node_element || text::Lower(element.name()) != "process") continue;
        const std::string where = name + ":" + std::to_string(lines.LineOf(element.offset_debug())) + ": ";
        if (steps.size() == limits.processes)
            throw CliError(where + "more than " + std::to_string(limits.processes) + " Process elements");
        const std::string progId = element.attribute("ProgID").value();
        if (progId.empty()) throw CliError(where + "Process element without a ProgID");
        PipelineStep step;
        try {
            step.kind = factory.ShortName(progId);
            step.process = factory.Create(progId);
        } catch (const CliError& e) {
            throw CliError(where + e.what());
        }
        const std::vector<PropertyInfo> declared = ProcessFactory::Properties(step.process);

        ConvertSavedTypes(element, declared, lines, name);
        StringWriter own;
        element.print(own, "", pugi::format_raw);
        CComPtr<IZRXMLMarkup> markup;
        if (FAILED(CreateHostMarkup(&markup))) throw CliError("cannot create the XML reader");
        CComBSTR xml(own.text);
        const HRESULT read = markup->LoadXml(xml);
        if (FAILED(read)) throw CliError(where + ProcessFactory::LastErrorText(read));
        const HRESULT hr = step.process->LoadProperties(markup);
        if (FAILED(hr)) {
            const std::string cause = ProcessFactory::LastErrorText(hr);
            // A refused value names its key: point at that Property element.
            long line = lines.LineOf(element.offset_debug());
            for (const PropertyInfo& property : declared)
                if (cause.find(property.name) != std::string::npos) line = PropertyLine(element, property.name, lines);
            throw CliError(name + ":" + std::to_string(line) + ": " + cause);
        }
        CheckDeclaredTypes(step.process, declared, element, lines, name);
        // The process mode is the host's setting, kept beside what the process saves.
        if (const pugi::xml_attribute mode = element.attribute("Mode")) {
            try {
                step.process->put_Mode(ProcessFactory::ParseMode(mode.value(), "Process"));
            } catch (const CliError& e) {
                throw CliError(where + e.what());
            }
        }
        CComBSTR shown;
        step.process->get_Name(&shown);
        step.name = shown.utf8();
        if (step.name.empty()) {
            step.name = step.kind;
            CComBSTR fallback(step.name);
            step.process->put_Name(fallback);
        }
        steps.push_back(std::move(step));
    }
    if (steps.empty()) throw CliError(name + ": the job file holds no Process element");
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
    if (FAILED(markup->GetXml(&xml))) throw RunFailure(path + ": cannot write the job file: out of memory");
    AtomicFile file(path);
    file.Write(WithModes(xml.utf8(), steps));
    file.Commit();
}
