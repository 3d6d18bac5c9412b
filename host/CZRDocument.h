// A document: the container of the pages of one input file, with tokens that
// processes may set per document and the set of pages removed from the
// output. O(pages).
#pragma once

#include "host/CZRPage.h"
#include "host/interfaces/IZRPageContainer.h"

#include <map>
#include <set>
#include <string>
#include <vector>

class ZR_HOST_API CZRDocument : public HostObject<IZRPageContainer> {
public:
    ~CZRDocument();
    void SetFilePath(const std::string& path) { filePath_ = path; }
    const std::string& FilePath() const { return filePath_; }
    // Appends a page owning `handle` (or no image when handle < 0).
    CComPtr<CZRPage> AppendPage(int handle);
    const std::vector<CComPtr<CZRPage>>& Pages() const { return pages_; }
    bool Removed(LONG number) const { return removed_.count(number) != 0; }

    HRESULT GetFilePath(BSTR* path) override;
    HRESULT GetPageCount(LONG* count) override;
    HRESULT GetPage(LONG number, IZRPage** page) override;
    HRESULT GetToken(BSTR key, VARIANT* value) override;
    HRESULT SetToken(BSTR key, VARIANT value) override;
    HRESULT RemoveToken(BSTR key) override;
    HRESULT AddPage(IZRPage* page) override;
    HRESULT InsertPage(LONG, IZRPage*) override { return E_NOTIMPL; }
    HRESULT MovePage(LONG, LONG) override { return E_NOTIMPL; }
    HRESULT GetName(BSTR* name) override;
    HRESULT SetName(BSTR name) override;
    HRESULT IsModified(VARIANT_BOOL* modified) override;
    HRESULT SetModified(VARIANT_BOOL modified) override;
    HRESULT GetRemovedCount(LONG* count) override;
    HRESULT IsPageRemoved(LONG number, VARIANT_BOOL* removed) override;
    HRESULT Reserved22() override { return E_NOTIMPL; }
    HRESULT RemovePage(LONG number) override;

private:
    std::string filePath_;
    std::string name_;
    bool modified_ = false;
    std::vector<CComPtr<CZRPage>> pages_;
    std::map<std::u16string, CComVariant> tokens_;
    std::set<LONG> removed_;
};
