// Late-bound calls on a process: the members the processes publish through
// IDispatch rather than their vtable (the page filter "ShouldProcessPage",
// the property meanings "PropertyDescription"). A member's DISPID is looked
// up once by name; each call is one Invoke with one positional argument.
#pragma once

#include "platform/com/ComPtr.h"
#include "platform/com/Unknown.h"

class LateBound {
public:
    // Looks `member` up on `object`; Found() is false when the object does not know it.
    LateBound(IDispatch* object, const char16_t* member);
    bool Found() const { return found_; }
    // Invokes the member as a method with one argument; the result in *result.
    HRESULT Call(const VARIANT& argument, VARIANT* result) const;

private:
    IDispatch* object_;
    DISPID id_ = -1;
    bool found_ = false;
};
