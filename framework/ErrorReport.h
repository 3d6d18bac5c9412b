// Reporting a failure as COM error information, and the one handler chain
// every interface method runs its body under. O(message length).
#pragma once

#include "framework/CZRException.h"
#include "framework/Messages.h"

#include <new>

// Sets the thread's error information from the exception (description,
// interface IID, source ProgID when the registry knows the IID) and answers
// its HRESULT. An empty message is first filled from string (hr & 0xFFFF).
HRESULT Report(CZRException& error, REFIID iid);

constexpr HRESULT E_ZR_UNKNOWN = static_cast<HRESULT>(0x800407D1u);

// Runs `body` (returning HRESULT); every exception becomes an HRESULT with
// error information, in this order: CZRException by reference, by pointer,
// _com_error, CAtlException, anything else ("Unknown error in <method>.").
template <class Body>
HRESULT RunGuarded(const char* methodText, REFIID iid, Body&& body) noexcept {
    try {
        try {
            return body();
        } catch (CZRException& error) {
            return Report(error, iid);
        } catch (CZRException* error) {
            const HRESULT hr = error ? Report(*error, iid) : E_ZR_UNKNOWN;
            delete error;
            return hr;
        } catch (const _com_error& error) {
            CZRException converted(error);
            return Report(converted, iid);
        } catch (const CAtlException& error) {
            CZRException converted(static_cast<HRESULT>(error));
            return Report(converted, iid);
        } catch (...) {
            CZRException converted(E_ZR_UNKNOWN, FormatMessageId(IDS_UNKNOWN_ERROR, methodText));
            return Report(converted, iid);
        }
    } catch (...) {
        // Reporting itself failed (out of memory): the code still travels.
        return E_ZR_UNKNOWN;
    }
}
