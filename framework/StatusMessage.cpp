// The status message sequence shared by every process.
#include "framework/StatusMessage.h"

#include "framework/HostObjects.h"
#include "framework/Messages.h"

bool PostStatusMessage(IZRPage* page, BSTR processName, LONG messageType, const std::u16string& text) {
    if (!page) throw CZRException(E_POINTER);
    CComPtr<IZRStatusMessages> list;
    ThrowIfFailed(page->GetStatusMessages(&list));
    if (!list) return false;
    CComPtr<ZRStatusMessage> message = CreateHostObject<ZRStatusMessage>(kStatusMessageProgId);
    CComBSTR name(processName ? std::u16string_view(processName, SysStringLen(processName)) : std::u16string_view());
    CComBSTR body(text);
    ThrowIfFailed(message->SetProcessName(name));
    ThrowIfFailed(message->SetMessageType(messageType));
    ThrowIfFailed(message->SetText(body));
    ThrowIfFailed(list->Add(message));
    return true;
}

bool PostStatusMessage(IZRPage* page, BSTR processName, LONG messageType, UINT messageId) {
    return PostStatusMessage(page, processName, messageType, LoadMessage(messageId));
}
