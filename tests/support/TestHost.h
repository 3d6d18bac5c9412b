// Test helpers: host classes registered once per test binary, pages built in
// memory, and an event sink that records progress events.
#pragma once

#include "host/CZRDocument.h"
#include "host/HostRegistration.h"
#include "platform/com/ComObject.h"
#include "platform/com/DispatchImpl.h"
#include "platform/imagelib/ImageWrapper.h"

#include <string>
#include <utility>
#include <vector>

inline void EnsureHostClasses() { RegisterHostClasses(); }

// Pixel (x, y) from the top-left as one number: 1-bit 0/1 (1 = white),
// 8-bit the grey level, 24-bit blue | green << 8 | red << 16.
inline unsigned PixelAt(int handle, int x, int y) {
    const BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(handle);
    const std::size_t stride = dib::Stride(dib->biWidth, dib->biBitCount);
    const BYTE* row = dib::Bits(dib) + stride * static_cast<std::size_t>(dib->biHeight - 1 - y);
    switch (dib->biBitCount) {
        case 1:
            return (row[x / 8] >> (7 - x % 8)) & 1u;
        case 8:
            return row[x];
        default:
            return row[3 * x] | (row[3 * x + 1] << 8) | (row[3 * x + 2] << 16);
    }
}

// A document holding one page with a fresh white bitmap of the given size and depth.
inline CComPtr<CZRDocument> MakeDocument(int width, int height, int bits) {
    CComPtr<CZRDocument> document = HostObject<IZRPageContainer>::Create<CZRDocument>();
    document->AppendPage(ImageWrapper::create_handle_from_scratch(width, height, bits));
    return document;
}

// A status message as a process posted it on a page.
struct PostedMessage {
    std::string process;
    LONG type = 0;
    std::string text;
};

// The page's status messages in the order they were posted.
inline std::vector<PostedMessage> PostedMessages(CZRPage* page) {
    std::vector<PostedMessage> posted;
    LONG count = 0;
    page->Messages()->GetCount(&count);
    for (LONG i = 0; i < count; ++i) {
        CComPtr<ZRStatusMessage> message;
        page->Messages()->GetItem(i, &message);
        CComBSTR name, text;
        PostedMessage entry;
        message->GetProcessName(&name);
        message->GetMessageType(&entry.type);
        message->GetText(&text);
        entry.process = BstrToUtf8(name);
        entry.text = BstrToUtf8(text);
        posted.push_back(entry);
    }
    return posted;
}

// Records (dispid, name, percent) of every event it receives.
class RecordingSink : public CComObjectRootEx, public DispatchImpl<IZRProcessExEvents> {
public:
    void* QueryInterfaceMap(REFIID riid) {
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IZRProcessExEvents)
            return static_cast<IZRProcessExEvents*>(this);
        return nullptr;
    }
    HRESULT Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
        Event event{id, "", -1};
        if (params && params->cArgs >= 1) {
            const VARIANT& name = params->rgvarg[params->cArgs - 1];
            if (name.vt == VT_BSTR) event.name = BstrToUtf8(name.bstrVal);
            if (params->cArgs == 2) event.percent = params->rgvarg[0].lVal;
        }
        events.push_back(event);
        return S_OK;
    }
    struct Event {
        DISPID id;
        std::string name;
        LONG percent;
    };
    std::vector<Event> events;
    std::vector<LONG> Percents() const {
        std::vector<LONG> values;
        for (const Event& e : events)
            if (e.id == 303) values.push_back(e.percent);
        return values;
    }
};
