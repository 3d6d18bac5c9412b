// The connection point for IZRProcessExEvents and the container that offers
// it: subscribed sinks in slots (cookie = slot + 1) under a lock, and event
// firing through IDispatch::Invoke outside the lock. Firing is O(sinks).
#pragma once

#include "host/ProcessInterfaces.h"
#include "platform/com/ComPtr.h"

#include <mutex>
#include <vector>

class CZRConnectionPoint final : public IConnectionPoint {
public:
    explicit CZRConnectionPoint(IConnectionPointContainer* container) : container_(container) {}
    ~CZRConnectionPoint();

    HRESULT QueryInterface(REFIID riid, void** out) override;
    ULONG AddRef() override { return container_->AddRef(); }
    ULONG Release() override { return container_->Release(); }
    HRESULT GetConnectionInterface(IID* iid) override;
    HRESULT GetConnectionPointContainer(IConnectionPointContainer** container) override;
    HRESULT Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT Unadvise(DWORD cookie) override;
    HRESULT EnumConnections(IEnumConnections** connections) override;

    // Calls every sink's Invoke(id) with the arguments given in call order
    // (they are passed to Invoke last first). Answers the last call's HRESULT.
    HRESULT Fire(DISPID id, BSTR name, const LONG* percent);
    // Releases every sink (object destruction).
    void ReleaseAll();

private:
    IConnectionPointContainer* container_;
    std::mutex lock_;
    std::vector<IUnknown*> sinks_;  // empty slots hold null
};

// Base of the process classes that offer events: the container part.
class CZREventSource : public IConnectionPointContainer {
public:
    HRESULT EnumConnectionPoints(IEnumConnectionPoints** points) override;
    HRESULT FindConnectionPoint(REFIID riid, IConnectionPoint** point) override;
    CZRConnectionPoint& EventPoint() { return point_; }

protected:
    CZREventSource() = default;
    ~CZREventSource() { point_.ReleaseAll(); }

private:
    CZRConnectionPoint point_{this};
};
