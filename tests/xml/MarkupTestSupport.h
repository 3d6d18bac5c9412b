// Helpers for the markup tests: a markup object that records its traces,
// thin wrappers turning out parameters into values, and temporary files.
#pragma once

#include "platform/com/Bstr.h"
#include "platform/com/ComPtr.h"
#include "xml/CZRXMLMarkup.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace markup_test {

class TracingMarkup : public CZRXMLMarkup {
public:
    std::vector<std::string> traces;

protected:
    void Trace(const OLECHAR* text) override { traces.push_back(Utf16ToUtf8(text)); }
};

// One markup object driven through its interface, answers as plain values.
class Markup {
public:
    Markup() {
        EXPECT_EQ(CComObject<TracingMarkup>::CreateInstance(&object_), S_OK);
        p_ = object_;
    }
    IZRXMLMarkup* operator->() const { return p_; }
    std::vector<std::string>& traces() { return object_->traces; }

    void Load(const std::string& xml) { ASSERT_EQ(p_->LoadXml(CComBSTR(xml)), S_OK); }
    void Add(const std::string& name, const std::string& text = "") {
        ASSERT_EQ(p_->AddElement(CComBSTR(name), CComBSTR(text)), S_OK);
    }
    std::string Xml() { return Out(&IZRXMLMarkup::GetXml); }
    std::string Outer() { return Out(&IZRXMLMarkup::GetOuterXml); }
    std::string Name() { return Out(&IZRXMLMarkup::GetName); }
    std::string Text() { return Out(&IZRXMLMarkup::GetText); }
    std::string Attr(const std::string& name) {
        CComBSTR value;
        EXPECT_EQ(p_->GetAttribute(CComBSTR(name), &value), S_OK);
        return value.utf8();
    }
    bool Next() {
        return Ask([&](VARIANT_BOOL* f) { return p_->MoveNext(f); });
    }
    bool Start() {
        return Ask([&](VARIANT_BOOL* f) { return p_->IsStartElement(f); });
    }
    bool Empty() {
        return Ask([&](VARIANT_BOOL* f) { return p_->IsEmptyElement(f); });
    }
    bool Find(const std::string& name) {
        return Ask([&](VARIANT_BOOL* f) { return p_->FindElement(CComBSTR(name), f); });
    }
    bool Child(const std::string& name) {
        return Ask([&](VARIANT_BOOL* f) { return p_->FindChild(CComBSTR(name), f); });
    }
    bool Sibling(const std::string& name) {
        return Ask([&](VARIANT_BOOL* f) { return p_->FindSibling(CComBSTR(name), f); });
    }
    LONG Depth() {
        LONG depth = -2;
        EXPECT_EQ(p_->GetDepth(&depth), S_OK);
        return depth;
    }

private:
    std::string Out(HRESULT (IZRXMLMarkup::*op)(BSTR*)) {
        CComBSTR text;
        EXPECT_EQ((p_->*op)(&text), S_OK);
        return text.utf8();
    }
    // Runs a flag operation; the flag must be written with a proper VARIANT_BOOL.
    template <class Op>
    bool Ask(Op op) {
        VARIANT_BOOL flag = 1;
        EXPECT_EQ(op(&flag), S_OK);
        EXPECT_TRUE(flag == VARIANT_TRUE || flag == VARIANT_FALSE) << flag;
        return flag == VARIANT_TRUE;
    }

    CComObject<TracingMarkup>* object_ = nullptr;
    CComPtr<IZRXMLMarkup> p_;
};

// A file in a temporary folder of its own, removed with the object.
class TempFile {
public:
    explicit TempFile(const std::string& name)
        : dir_(std::filesystem::temp_directory_path() / ("xml_tests_" + std::to_string(::getpid()) + "_" + name)),
          path_(dir_ / name) {
        std::filesystem::create_directories(dir_);
    }
    ~TempFile() { std::filesystem::remove_all(dir_); }
    CComBSTR bstr() const { return CComBSTR(path_.string()); }
    void Write(const std::string& bytes) const { std::ofstream(path_, std::ios::binary) << bytes; }
    bool Exists() const { return std::filesystem::exists(path_); }
    std::string Read() const {
        std::ostringstream text;
        text << std::ifstream(path_, std::ios::binary).rdbuf();
        return text.str();
    }

private:
    std::filesystem::path dir_, path_;
};

constexpr const char* kDeclaration = "<?xml version=\"1.0\"?>\n";

}  // namespace markup_test
