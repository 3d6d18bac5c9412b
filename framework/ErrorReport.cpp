// Report: error information from a CZRException.
#include "framework/ErrorReport.h"

#include "platform/com/Activation.h"
#include "platform/com/ErrorInfo.h"

HRESULT Report(CZRException& error, REFIID iid) {
    CComPtr<ICreateErrorInfo> create;
    if (FAILED(CreateErrorInfo(&create)) || !create) return error.Error();
    if (error.Message().empty()) error.SetMessage(LoadMessage(HRESULT_CODE(error.Error())));
    std::u16string description = error.Message();
    create->SetDescription(description.data());
    create->SetGUID(iid);
    LPOLESTR progId = nullptr;
    if (SUCCEEDED(ProgIDFromCLSID(iid, &progId)) && progId) {
        create->SetSource(progId);
        CoTaskMemFree(progId);
    }
    CComPtr<IErrorInfo> info;
    if (SUCCEEDED(create.QueryInterface(&info))) SetErrorInfo(0, info);
    return error.Error();
}
