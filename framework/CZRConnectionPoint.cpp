// Sink list, enumerators and event firing.
#include "framework/CZRConnectionPoint.h"

#include <atomic>
#include <new>

namespace {

// A snapshot enumerator over COM items (connection data or points).
template <class Interface, class Item>
class SnapshotEnum final : public Interface {
public:
    explicit SnapshotEnum(std::vector<Item> items) : items_(std::move(items)) {
        for (Item& item : items_) AddRefItem(item);
    }
    ~SnapshotEnum() {
        for (Item& item : items_) ReleaseItem(item);
    }
    HRESULT QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (riid != IID_IUnknown && riid != Interface::iid()) return E_NOINTERFACE;
        *out = static_cast<Interface*>(this);
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT Next(ULONG count, Item* out, ULONG* fetched) override {
        if (!out || (count > 1 && !fetched)) return E_POINTER;
        ULONG n = 0;
        while (n < count && position_ < items_.size()) {
            out[n] = items_[position_++];
            AddRefItem(out[n]);
            ++n;
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT Skip(ULONG count) override {
        position_ += count;
        if (position_ > items_.size()) {
            position_ = items_.size();
            return S_FALSE;
        }
        return S_OK;
    }
    HRESULT Reset() override {
        position_ = 0;
        return S_OK;
    }
    HRESULT Clone(Interface** copy) override {
        if (!copy) return E_POINTER;
        auto* clone = new (std::nothrow) SnapshotEnum(items_);
        if (!clone) return E_OUTOFMEMORY;
        clone->position_ = position_;
        clone->AddRef();
        *copy = clone;
        return S_OK;
    }

private:
    static void AddRefItem(CONNECTDATA& d) {
        if (d.pUnk) d.pUnk->AddRef();
    }
    static void ReleaseItem(CONNECTDATA& d) {
        if (d.pUnk) d.pUnk->Release();
    }
    static void AddRefItem(IConnectionPoint*& p) {
        if (p) p->AddRef();
    }
    static void ReleaseItem(IConnectionPoint*& p) {
        if (p) p->Release();
    }
    std::vector<Item> items_;
    std::size_t position_ = 0;
    std::atomic<ULONG> refs_{0};
};

}  // namespace

CZRConnectionPoint::~CZRConnectionPoint() { ReleaseAll(); }

HRESULT CZRConnectionPoint::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (riid != IID_IUnknown && riid != IID_IConnectionPoint) return E_NOINTERFACE;
    *out = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
}

HRESULT CZRConnectionPoint::GetConnectionInterface(IID* iid) {
    if (!iid) return E_POINTER;
    *iid = IID_IZRProcessExEvents;
    return S_OK;
}

HRESULT CZRConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
    if (!container) return E_POINTER;
    *container = container_;
    container_->AddRef();
    return S_OK;
}

HRESULT CZRConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (!sink || !cookie) return E_POINTER;
    *cookie = 0;
    IUnknown* events = nullptr;
    if (FAILED(sink->QueryInterface(IID_IZRProcessExEvents, reinterpret_cast<void**>(&events))) || !events)
        return CONNECT_E_CANNOTCONNECT;
    std::lock_guard guard(lock_);
    std::size_t slot = 0;
    while (slot < sinks_.size() && sinks_[slot]) ++slot;
    try {
        if (slot == sinks_.size()) sinks_.push_back(nullptr);
    } catch (...) {
        events->Release();
        return CONNECT_E_ADVISELIMIT;
    }
    sinks_[slot] = events;
    *cookie = static_cast<DWORD>(slot + 1);
    return S_OK;
}

HRESULT CZRConnectionPoint::Unadvise(DWORD cookie) {
    IUnknown* sink = nullptr;
    {
        std::lock_guard guard(lock_);
        if (cookie == 0 || cookie > sinks_.size() || !sinks_[cookie - 1]) return CONNECT_E_NOCONNECTION;
        sink = sinks_[cookie - 1];
        sinks_[cookie - 1] = nullptr;
    }
    sink->Release();
    return S_OK;
}

HRESULT CZRConnectionPoint::EnumConnections(IEnumConnections** connections) {
    if (!connections) return E_POINTER;
    *connections = nullptr;
    std::vector<CONNECTDATA> items;
    {
        std::lock_guard guard(lock_);
        for (std::size_t i = 0; i < sinks_.size(); ++i)
            if (sinks_[i]) items.push_back(CONNECTDATA{sinks_[i], static_cast<DWORD>(i + 1)});
    }
    auto* enumerator = new (std::nothrow) SnapshotEnum<IEnumConnections, CONNECTDATA>(std::move(items));
    if (!enumerator) return E_OUTOFMEMORY;
    enumerator->AddRef();
    *connections = enumerator;
    return S_OK;
}

HRESULT CZRConnectionPoint::Fire(DISPID id, BSTR name, const LONG* percent) {
    HRESULT result = S_OK;
    std::size_t count;
    {
        std::lock_guard guard(lock_);
        count = sinks_.size();
    }
    for (std::size_t slot = 0; slot < count; ++slot) {
        IUnknown* sink = nullptr;
        {
            std::lock_guard guard(lock_);
            if (slot < sinks_.size() && sinks_[slot]) {
                sink = sinks_[slot];
                sink->AddRef();
            }
        }
        if (!sink) continue;
        VARIANTARG args[2];
        VariantInit(&args[0]);
        VariantInit(&args[1]);
        UINT argCount = 0;
        if (percent) {  // last argument first
            args[0].vt = VT_I4;
            args[0].lVal = *percent;
            args[1].vt = VT_BSTR;
            args[1].bstrVal = name;
            argCount = 2;
        } else {
            args[0].vt = VT_BSTR;
            args[0].bstrVal = name;
            argCount = 1;
        }
        DISPPARAMS params{args, nullptr, argCount, 0};
        result = static_cast<IDispatch*>(sink)->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                                       nullptr, nullptr, nullptr);
        sink->Release();
    }
    return result;
}

void CZRConnectionPoint::ReleaseAll() {
    std::vector<IUnknown*> released;
    {
        std::lock_guard guard(lock_);
        released.swap(sinks_);
    }
    for (IUnknown* sink : released)
        if (sink) sink->Release();
}

HRESULT CZREventSource::EnumConnectionPoints(IEnumConnectionPoints** points) {
    if (!points) return E_POINTER;
    auto* enumerator = new (std::nothrow)
        SnapshotEnum<IEnumConnectionPoints, IConnectionPoint*>(std::vector<IConnectionPoint*>{&point_});
    if (!enumerator) return E_OUTOFMEMORY;
    enumerator->AddRef();
    *points = enumerator;
    return S_OK;
}

HRESULT CZREventSource::FindConnectionPoint(REFIID riid, IConnectionPoint** point) {
    if (!point) return E_POINTER;
    *point = nullptr;
    if (riid != IID_IZRProcessExEvents) return CONNECT_E_NOCONNECTION;
    *point = &point_;
    point_.AddRef();
    return S_OK;
}
