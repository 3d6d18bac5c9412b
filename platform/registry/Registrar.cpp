// Registration script parsing and execution.
#include "platform/registry/Registrar.h"

#include "platform/registry/Registry.h"

#include <cctype>
#include <memory>
#include <vector>

namespace {

struct ScriptValue {
    bool present = false;
    bool isDword = false;
    std::string text;
};

struct ScriptKey {
    enum class Flag { Plain, NoRemove, ForceRemove } flag = Flag::Plain;
    std::string name;
    ScriptValue defaultValue;
    std::vector<std::pair<std::string, ScriptValue>> values;
    std::vector<std::unique_ptr<ScriptKey>> children;
};

// Deeper nesting is refused: it keeps the recursive parse and walks bounded.
constexpr int kMaxKeyDepth = 64;

struct ParseError {
    int line;
    std::string cause;
};

class Parser {
public:
    explicit Parser(const std::string& text) : text_(text) {}

    // The root: one or more hive blocks (only HKCR / HKEY_CLASSES_ROOT).
    std::vector<std::unique_ptr<ScriptKey>> Parse() {
        std::vector<std::unique_ptr<ScriptKey>> keys;
        for (;;) {
            std::string word = Next();
            if (word.empty()) break;
            if (word != "HKCR" && word != "HKEY_CLASSES_ROOT") Fail("only HKCR is supported, not '" + word + "'");
            Expect("{");
            ParseBody(&keys);
        }
        return keys;
    }

private:
    // Keys and values up to the closing brace.
    void ParseBody(std::vector<std::unique_ptr<ScriptKey>>* keys, ScriptKey* owner = nullptr, int depth = 0) {
        if (depth > kMaxKeyDepth) Fail("keys nested deeper than " + std::to_string(kMaxKeyDepth) + " levels");
        for (;;) {
            std::string word = Next();
            if (word.empty()) Fail("missing '}'");
            if (word == "}") return;
            if (word == "val") {
                if (!owner) Fail("a named value outside a key");
                std::string name = Next();
                Expect("=");
                owner->values.emplace_back(name, ParseValue());
                continue;
            }
            auto key = std::make_unique<ScriptKey>();
            if (word == "NoRemove" || word == "ForceRemove") {
                key->flag = word == "NoRemove" ? ScriptKey::Flag::NoRemove : ScriptKey::Flag::ForceRemove;
                word = Next();
            }
            if (word.empty() || word == "{" || word == "}" || word == "=") Fail("a key name is missing");
            key->name = word;
            if (Peek() == "=") {
                Next();
                key->defaultValue = ParseValue();
            }
            if (Peek() == "{") {
                Next();
                ParseBody(&key->children, key.get(), depth + 1);
            }
            keys->push_back(std::move(key));
        }
    }

    ScriptValue ParseValue() {
        const std::string type = Next();
        if (type != "s" && type != "d") Fail("a value must be s 'text' or d 'number'");
        ScriptValue value;
        value.present = true;
        value.isDword = type == "d";
        value.text = Next();
        if (value.text.empty() && !lastWasQuoted_) Fail("a value is missing");
        if (value.isDword) {
            for (char c : value.text)
                if (!std::isdigit(static_cast<unsigned char>(c))) Fail("'" + value.text + "' is not a number");
            if (value.text.empty() || value.text.size() > 10 || std::stoull(value.text) > 0xFFFFFFFFull)
                Fail("'" + value.text + "' is not a 32-bit number");
        }
        return value;
    }

    void Expect(const std::string& token) {
        if (Next() != token) Fail("'" + token + "' expected");
    }

    std::string Peek() {
        const std::size_t saved = pos_;
        const int savedLine = line_;
        const bool savedQuoted = lastWasQuoted_;
        std::string token = Next();
        pos_ = saved;
        line_ = savedLine;
        lastWasQuoted_ = savedQuoted;
        return token;
    }

    std::string Next() {
        lastWasQuoted_ = false;
        while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) {
            if (text_[pos_] == '\n') ++line_;
            ++pos_;
        }
        if (pos_ >= text_.size()) return {};
        const char c = text_[pos_];
        if (c == '{' || c == '}' || c == '=') {
            ++pos_;
            // A braced GUID is a name, not a block.
            if (c == '{' && pos_ + 36 < text_.size() && text_[pos_ + 36] == '}' && text_[pos_ + 8] == '-') {
                std::string guid = text_.substr(pos_ - 1, 38);
                pos_ += 37;
                return guid;
            }
            return std::string(1, c);
        }
        if (c == '\'') {
            lastWasQuoted_ = true;
            std::string out;
            ++pos_;
            for (;;) {
                if (pos_ >= text_.size()) Fail("unclosed quote");
                if (text_[pos_] == '\'') {
                    if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '\'') {
                        out.push_back('\'');
                        pos_ += 2;
                        continue;
                    }
                    ++pos_;
                    return out;
                }
                if (text_[pos_] == '\n') ++line_;
                out.push_back(text_[pos_++]);
            }
        }
        std::string out;
        while (pos_ < text_.size() && !std::isspace(static_cast<unsigned char>(text_[pos_])) && text_[pos_] != '{' &&
               text_[pos_] != '}' && text_[pos_] != '=' && text_[pos_] != '\'')
            out.push_back(text_[pos_++]);
        return out;
    }

    [[noreturn]] void Fail(const std::string& cause) { throw ParseError{line_, cause}; }

    const std::string& text_;
    std::size_t pos_ = 0;
    int line_ = 1;
    bool lastWasQuoted_ = false;
};

void WriteValue(Registry& registry, const std::string& path, const std::string& name, const ScriptValue& value) {
    if (!value.present) return;
    if (value.isDword)
        registry.SetDword(path, name, static_cast<std::uint32_t>(std::stoull(value.text)));
    else
        registry.SetString(path, name, value.text);
}

void RegisterKey(Registry& registry, const std::string& parent, const ScriptKey& key) {
    const std::string path = parent.empty() ? key.name : parent + "\\" + key.name;
    if (key.flag == ScriptKey::Flag::ForceRemove) registry.DeleteTree(path);
    registry.CreateKey(path);
    WriteValue(registry, path, "", key.defaultValue);
    for (const auto& [name, value] : key.values) WriteValue(registry, path, name, value);
    for (const auto& child : key.children) RegisterKey(registry, path, *child);
}

void UnregisterKey(Registry& registry, const std::string& parent, const ScriptKey& key) {
    const std::string path = parent.empty() ? key.name : parent + "\\" + key.name;
    if (key.flag == ScriptKey::Flag::ForceRemove) {
        registry.DeleteTree(path);
        return;
    }
    for (const auto& child : key.children) UnregisterKey(registry, path, *child);
    if (key.flag == ScriptKey::Flag::NoRemove) return;
    for (const auto& [name, value] : key.values) registry.DeleteValue(path, name);
    if (registry.SubKeys(path).empty()) registry.DeleteTree(path);
}

}  // namespace

void Registrar::AddReplacement(const std::string& token, const std::string& value) { replacements_[token] = value; }

bool Registrar::Run(const std::string& script, Mode mode, std::string* error) {
    std::string text;
    text.reserve(script.size());
    for (std::size_t i = 0; i < script.size(); ++i) {
        if (script[i] == '%') {
            const std::size_t end = script.find('%', i + 1);
            if (end != std::string::npos) {
                auto it = replacements_.find(script.substr(i + 1, end - i - 1));
                if (it != replacements_.end()) {
                    text += it->second;
                    i = end;
                    continue;
                }
            }
        }
        text.push_back(script[i]);
    }
    std::vector<std::unique_ptr<ScriptKey>> keys;
    try {
        keys = Parser(text).Parse();
    } catch (const ParseError& e) {
        if (error) *error = "line " + std::to_string(e.line) + ": " + e.cause;
        return false;
    }
    // One read-modify-write of the registry file for the whole script.
    Registry& registry = Registry::Instance();
    Registry::Batch batch(registry);
    for (const auto& key : keys) {
        if (mode == Mode::Register)
            RegisterKey(registry, "", *key);
        else
            UnregisterKey(registry, "", *key);
    }
    if (!batch.Commit()) {
        if (error) *error = registry.LastError();
        return false;
    }
    return true;
}
