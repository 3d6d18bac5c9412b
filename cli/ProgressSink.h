// The command's subscriber to a process's progress events (ProcessProgress
// 303 with the percentage of the run, ProcessFinished 302): each becomes a
// call of the given function with 0 ... 100. One sink per process; events
// arrive on the thread that runs the process. O(1) per event.
#pragma once

#include "host/ProcessInterfaces.h"
#include "platform/com/ComObject.h"
#include "platform/com/ComPtr.h"
#include "platform/com/DispatchImpl.h"

#include <functional>

class ProgressSink : public CComObjectRootEx, public DispatchImpl<IZRProcessExEvents> {
public:
    using Listener = std::function<void(long percent)>;
    static CComPtr<ProgressSink> Create(Listener listener);

    void* QueryInterfaceMap(REFIID riid);
    HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* exception, UINT* argError) override;

private:
    Listener listener_;
};

// Advises a sink on a process's connection point for its events and
// unadvises it when destroyed. A process without the connection point
// (Connected() false) simply reports no progress.
class ProgressConnection {
public:
    ProgressConnection(IUnknown* process, ProgressSink::Listener listener);
    ~ProgressConnection();
    ProgressConnection(const ProgressConnection&) = delete;
    ProgressConnection& operator=(const ProgressConnection&) = delete;
    bool Connected() const { return cookie_ != 0; }

private:
    CComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
};
