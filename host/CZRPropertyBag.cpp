// Property bag.
#include "host/CZRPropertyBag.h"

#include "host/HostErrors.h"
#include "host/OwnedVariant.h"

namespace {
std::u16string Key(BSTR name) { return name ? std::u16string(name, SysStringLen(name)) : std::u16string(); }

// The value as the bag keeps it (owning its data), or a HostError.
CComVariant Owned(BSTR name, const VARIANT& value) {
    CComVariant copy;
    const HRESULT hr = CopyOwnedValue(value, &copy);
    if (hr == E_OUTOFMEMORY) throw std::bad_alloc();
    if (FAILED(hr))
        throw HostError{ZR_E_PROPERTY_VALUE, "Property '" + BstrToUtf8(name) + "': a by-reference value of type " +
                                                 std::to_string(value.vt) + " cannot be kept."};
    return copy;
}
}  // namespace

CZRPropertyBag::Entry* CZRPropertyBag::Find(BSTR name) {
    const std::u16string key = Key(name);
    for (Entry& entry : entries_)
        if (entry.name == key) return &entry;
    return nullptr;
}

HRESULT CZRPropertyBag::GetCount(LONG* count) {
    if (!count) return E_POINTER;
    *count = static_cast<LONG>(entries_.size());
    return S_OK;
}

HRESULT CZRPropertyBag::GetProperty(BSTR name, VARIANT* value) {
    if (!value) return E_POINTER;
    return Guard([&] {
        Entry* entry = Find(name);
        if (!entry) throw HostError{ZR_E_UNKNOWN_PROPERTY, "Unknown property '" + BstrToUtf8(name) + "'."};
        VariantInit(value);
        return VariantCopy(value, &entry->value);
    });
}

// A value of another type than the declared one is converted to the declared
// type, so the process always reads the member it expects. A name not yet
// declared is added with the value as given.
HRESULT CZRPropertyBag::PutProperty(BSTR name, VARIANT value) {
    return Guard([&] {
        Entry* entry = Find(name);
        if (!entry) {
            entries_.push_back(Entry{Key(name), Owned(name, value), false});
            return S_OK;
        }
        CComVariant converted;
        const VARTYPE declared = entry->value.vt;
        if (declared == VT_EMPTY || declared == value.vt) {
            converted = Owned(name, value);
        } else {
            const HRESULT hr = VariantChangeType(&converted, &value, 0, declared);
            if (FAILED(hr)) {
                throw HostError{ZR_E_PROPERTY_VALUE, "Property '" + BstrToUtf8(name) + "' expects " +
                                                         VarTypeName(declared) + "; the value '" +
                                                         VariantToText(value) + "' does not fit."};
            }
        }
        entry->value = converted;
        return S_OK;
    });
}

HRESULT CZRPropertyBag::GetPropertyNames(VARIANT* names) {
    if (!names) return E_POINTER;
    SAFEARRAY* array = SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(entries_.size()));
    if (!array) return E_OUTOFMEMORY;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        CComBSTR text(std::u16string_view(entries_[i].name));
        const LONG index = static_cast<LONG>(i);
        SafeArrayPutElement(array, &index, text.m_str());
    }
    VariantClear(names);
    names->vt = VT_ARRAY | VT_BSTR;
    names->parray = array;
    return S_OK;
}

HRESULT CZRPropertyBag::RemoveProperty(BSTR name) {
    const std::u16string key = Key(name);
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->name == key) {
            entries_.erase(it);
            return S_OK;
        }
    }
    return S_FALSE;
}

HRESULT CZRPropertyBag::HasProperty(BSTR name, VARIANT_BOOL* has) {
    if (!has) return E_POINTER;
    *has = Find(name) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT CZRPropertyBag::AddProperty(BSTR name, VARIANT value) {
    return Guard([&] {
        CComVariant owned = Owned(name, value);
        if (Entry* entry = Find(name)) {
            entry->value = owned;
            entry->declared = true;
        } else {
            entries_.push_back(Entry{Key(name), owned, true});
        }
        return S_OK;
    });
}

HRESULT CZRPropertyBag::SaveProperties(IZRXMLMarkup* markup) {
    return Guard([&] {
        MarkupWriter writer(markup);
        writer.Begin("PropertyBag");
        for (const Entry& entry : entries_) {
            writer.Begin("Property");
            writer.Attribute("Name", Utf16ToUtf8(entry.name));
            writer.Attribute("Type", VarTypeName(entry.value.vt));
            writer.Attribute("Value", VariantToText(entry.value));
            writer.End();
        }
        writer.End();
        return S_OK;
    });
}

// Reads every "Property" child. The saved text is first read as its saved
// type; a declared key then converts it to its declared type (as
// VariantChangeType does), other keys keep the saved type. Nothing changes
// unless every property loads.
HRESULT CZRPropertyBag::LoadProperties(IZRXMLMarkup* markup) {
    return Guard([&] {
        MarkupReader reader(markup);
        std::vector<Entry> loaded;
        reader.ForEachChild("Property", [&] {
            const std::string name = reader.Attribute("Name");
            const std::string typeName = reader.Attribute("Type");
            const std::string text = reader.Attribute("Value");
            if (name.empty()) throw HostError{ZR_E_PROPERTY_VALUE, "A property without a name."};
            const VARTYPE savedType = VarTypeFromName(typeName);
            if (savedType == 0xFFFF)
                throw HostError{ZR_E_PROPERTY_TYPE, "Property '" + name + "' has unknown type '" + typeName + "'."};
            CComVariant source(text);
            CComVariant saved;
            if (FAILED(VariantChangeType(&saved, &source, 0, savedType)))
                throw HostError{ZR_E_PROPERTY_VALUE,
                                "Property '" + name + "': the value '" + text + "' is not a valid " + typeName + "."};
            CComBSTR key(name);
            const Entry* declared = Find(key);
            if (declared && declared->declared && declared->value.vt != VT_EMPTY && declared->value.vt != savedType) {
                const VARTYPE type = declared->value.vt;
                CComVariant value;
                if (FAILED(VariantChangeType(&value, &saved, 0, type)))
                    throw HostError{ZR_E_PROPERTY_VALUE, "Property '" + name + "': the saved value '" + text + "' (" +
                                                             typeName + ") cannot become " + VarTypeName(type) + "."};
                saved = value;
            }
            loaded.push_back(Entry{Utf8ToUtf16(name), saved, false});
        });
        for (Entry& entry : loaded) {
            CComBSTR key(std::u16string_view(entry.name));
            if (Entry* existing = Find(key))
                existing->value = entry.value;
            else
                entries_.push_back(entry);
        }
        return S_OK;
    });
}
