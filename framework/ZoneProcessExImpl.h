// ProcessExImpl plus a host zone manager: created in FinalConstruct, saved and
// loaded as the "ZoneManager" child of the process XML, handed to the host by
// GetZoneManager. Classes that only need the core (no zone manager) save and
// load without one.
#pragma once

#include "framework/ProcessExImpl.h"

template <const CLSID& Clsid>
class ZoneProcessExImpl : public ProcessExImpl<Clsid> {
    using Core = ProcessExImpl<Clsid>;

public:
    HRESULT LoadProperties(IZRXMLMarkup* markup) override {
        return RunGuarded(Text("LoadProperties").c_str(), IID_IZRProcessEx, [&] {
            ZRZoneManager* zones = zoneManager_;
            this->LoadFrom(markup, usesZones_ ? &zones : nullptr);
            return S_OK;
        });
    }
    HRESULT SaveProperties(IZRXMLMarkup* markup) override {
        return RunGuarded(Text("SaveProperties").c_str(), IID_IZRProcessEx, [&] {
            this->SaveTo(markup, zoneManager_, usesZones_);
            return S_OK;
        });
    }
    HRESULT GetZoneManager(ZRZoneManager** manager) override {
        if (!manager) return E_POINTER;
        *manager = nullptr;
        return RunGuarded(Text("GetZoneManager").c_str(), IID_IZRProcessEx, [&] {
            if (zoneManager_) zoneManager_->QueryInterface(IID_ZRZoneManager, reinterpret_cast<void**>(manager));
            return S_OK;
        });
    }
    ~ZoneProcessExImpl() override { zoneManager_.Release(); }

    // The core's construction, then the zone manager.
    HRESULT FinalConstructCore() override {
        return RunGuarded(Text("FinalConstruct").c_str(), IID_IZRProcessEx, [&] {
            ThrowIfFailed(Core::FinalConstructCore());
            zoneManager_.Release();
            zoneManager_ = CreateHostObject<ZRZoneManager>(kZoneManagerProgId);
            usesZones_ = true;
            return S_OK;
        });
    }
    // Only the core's construction: no zone manager. Saving then writes no
    // "ZoneManager" child and loading skips one, so persistence never fails
    // for want of a manager.
    HRESULT FinalConstructWithoutZones() { return Core::FinalConstructCore(); }

    void FinalReleaseCore() override {
        Core::FinalReleaseCore();
        zoneManager_.Release();
    }

    ZRZoneManager* ZoneManager() const { return zoneManager_; }

protected:
    static std::string Text(const char* method) { return TemplateMethodText("ZoneProcessExImpl", Clsid, method); }

private:
    CComPtr<ZRZoneManager> zoneManager_;
    bool usesZones_ = false;
};
