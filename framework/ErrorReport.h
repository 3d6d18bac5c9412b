// Reporting a failure as COM error information, and the one handler chain
// every interface method runs its body under. O(message length).
#pragma once

#include "framework/CZRException.h"
#include "framework/Messages.h"
#include "framework/QNCException.h"

#include <new>
#include <stdexcept>

// Sets the thread's error information from the exception (description,
// interface IID, source ProgID when the registry knows the IID) and answers
// its HRESULT. An empty message is first filled from string (hr & 0xFFFF).
HRESULT Report(CZRException& error, REFIID iid);

constexpr HRESULT E_ZR_UNKNOWN = static_cast<HRESULT>(0x800407D1u);

// Runs `body` (returning HRESULT); every exception becomes an HRESULT with
// error information, in this order: CZRException by reference, by pointer,
// _com_error, CAtlException, an algorithm's QNCException that names a
// message (a page too small for the algorithm carries 2165: the host gets
// that message, not an unknown error; one without a message id stays
// unknown), an allocation that failed ("Out of memory", message 2159: the
// one place that turns std::bad_alloc into a page's error), anything else
// ("Unknown error in <method>.").
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
        } catch (const QNCException& error) {
            CZRException converted = error.MessageId() > 0 && error.MessageId() < 0x10000
                                         ? CZRException(static_cast<UINT>(error.MessageId()))
                                         : CZRException(E_ZR_UNKNOWN, FormatMessageId(IDS_UNKNOWN_ERROR, methodText));
            return Report(converted, iid);
        } catch (const std::bad_alloc&) {
            CZRException converted(static_cast<UINT>(IDS_OUT_OF_MEMORY));
            return Report(converted, iid);
        } catch (const std::length_error&) {
            // A buffer larger than the library can size is the same failure.
            CZRException converted(static_cast<UINT>(IDS_OUT_OF_MEMORY));
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
