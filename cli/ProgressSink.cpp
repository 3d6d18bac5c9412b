#include "cli/ProgressSink.h"

CComPtr<ProgressSink> ProgressSink::Create(Listener listener) {
    CComObject<ProgressSink>* sink = nullptr;
    if (FAILED(CComObject<ProgressSink>::CreateInstance(&sink))) return nullptr;
    CComPtr<ProgressSink> held(sink);
    held->listener_ = std::move(listener);
    return held;
}

void* ProgressSink::QueryInterfaceMap(REFIID riid) {
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IZRProcessExEvents)
        return static_cast<IZRProcessExEvents*>(this);
    return nullptr;
}

HRESULT ProgressSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) {
    if (!listener_) return S_OK;
    // Arguments come last first: (percent, name) for 303.
    if (id == DISPID_PROCESS_PROGRESS && params && params->cArgs == 2 && params->rgvarg[0].vt == VT_I4)
        listener_(params->rgvarg[0].lVal);
    else if (id == DISPID_PROCESS_FINISHED)
        listener_(100);
    return S_OK;
}

ProgressConnection::ProgressConnection(IUnknown* process, ProgressSink::Listener listener) {
    CComPtr<IConnectionPointContainer> container;
    if (!process || FAILED(process->QueryInterface(&container)) || !container) return;
    if (FAILED(container->FindConnectionPoint(IID_IZRProcessExEvents, &point_)) || !point_) return;
    CComPtr<ProgressSink> sink = ProgressSink::Create(std::move(listener));
    if (!sink || FAILED(point_->Advise(static_cast<IZRProcessExEvents*>(sink.p_), &cookie_))) cookie_ = 0;
}

ProgressConnection::~ProgressConnection() {
    if (cookie_) point_->Unadvise(cookie_);
}
