// Zone manager.
#include "host/CZRZoneManager.h"

#include "platform/com/ErrorInfo.h"

HRESULT CZRZoneManager::AddZone(IZRZone* zone) {
    if (!zone) return E_POINTER;
    zones_.emplace_back(zone);
    return S_OK;
}

HRESULT CZRZoneManager::CreateZone(IZRZone** zone) {
    if (!zone) return E_POINTER;
    CComPtr<CZRZone> fresh = Create<CZRZone>();
    if (!fresh) return E_OUTOFMEMORY;
    zones_.emplace_back(static_cast<IZRZone*>(fresh.get()));
    *zone = fresh.get();
    (*zone)->AddRef();
    return S_OK;
}

HRESULT CZRZoneManager::RemoveZone(LONG index) {
    if (index < 0 || static_cast<std::size_t>(index) >= zones_.size()) return E_INVALIDARG;
    zones_.erase(zones_.begin() + index);
    return S_OK;
}

HRESULT CZRZoneManager::RemoveAll() {
    zones_.clear();
    return S_OK;
}

HRESULT CZRZoneManager::GetZone(VARIANT index, IZRZone** zone) {
    if (!zone) return E_POINTER;
    *zone = nullptr;
    CComVariant number;
    if (FAILED(VariantChangeType(&number, &index, 0, VT_I4))) return DISP_E_TYPEMISMATCH;
    if (number.lVal < 0 || static_cast<std::size_t>(number.lVal) >= zones_.size()) return DISP_E_BADINDEX;
    return zones_[static_cast<std::size_t>(number.lVal)].CopyTo(zone);
}

HRESULT CZRZoneManager::GetCount(LONG* count) {
    if (!count) return E_POINTER;
    *count = static_cast<LONG>(zones_.size());
    return S_OK;
}

HRESULT CZRZoneManager::SaveProperties(IZRXMLMarkup* markup) {
    return Guard([&] {
        MarkupWriter writer(markup);
        writer.Begin("ZoneManager");
        for (const auto& zone : zones_) {
            const HRESULT hr = zone->SaveProperties(markup);
            if (FAILED(hr)) return hr;
        }
        writer.End();
        return S_OK;
    });
}

HRESULT CZRZoneManager::LoadProperties(IZRXMLMarkup* markup) {
    return Guard([&] {
        MarkupReader reader(markup);
        std::vector<CComPtr<IZRZone>> loaded;
        reader.ForEachChild("Zone", [&] {
            CComPtr<CZRZone> zone = Create<CZRZone>();
            if (!zone) throw std::bad_alloc();
            const HRESULT hr = zone->LoadProperties(markup);
            if (FAILED(hr)) throw HostError{hr, PeekErrorDescription()};
            loaded.emplace_back(static_cast<IZRZone*>(zone.get()));
        });
        zones_ = std::move(loaded);
        return S_OK;
    });
}
