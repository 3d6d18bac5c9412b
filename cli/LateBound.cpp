#include "cli/LateBound.h"

LateBound::LateBound(IDispatch* object, const char16_t* member) : object_(object) {
    if (!object_) return;
    LPOLESTR names[1] = {const_cast<LPOLESTR>(member)};
    found_ = SUCCEEDED(object_->GetIDsOfNames(IID_NULL, names, 1, 0x0400, &id_)) && id_ != -1;
}

HRESULT LateBound::Call(const VARIANT& argument, VARIANT* result) const {
    if (!found_) return DISP_E_MEMBERNOTFOUND;
    VARIANT arg = argument;  // Invoke does not change its arguments
    DISPPARAMS params{&arg, nullptr, 1, 0};
    return object_->Invoke(id_, IID_NULL, 0x0400, DISPATCH_METHOD, &params, result, nullptr, nullptr);
}
