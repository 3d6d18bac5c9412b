// A page's list of status messages, in the order they were added. O(1) per
// message.
#pragma once

#include "host/HostObject.h"
#include "host/interfaces/IZRStatusMessages.h"
#include "host/interfaces/ZRStatusMessage.h"

#include <vector>

class ZR_HOST_API CZRStatusMessages : public HostObject<IZRStatusMessages> {
public:
    HRESULT GetCount(LONG* count) override {
        if (!count) return E_POINTER;
        *count = static_cast<LONG>(messages_.size());
        return S_OK;
    }
    HRESULT GetItem(LONG index, ZRStatusMessage** message) override {
        if (!message) return E_POINTER;
        if (index < 0 || static_cast<std::size_t>(index) >= messages_.size()) return DISP_E_BADINDEX;
        return messages_[static_cast<std::size_t>(index)].CopyTo(message);
    }
    HRESULT Clear() override {
        messages_.clear();
        return S_OK;
    }
    HRESULT Add(ZRStatusMessage* message) override {
        if (!message) return E_POINTER;
        messages_.emplace_back(message);
        return S_OK;
    }

private:
    std::vector<CComPtr<ZRStatusMessage>> messages_;
};
