// The process mode: a 32-bit value as given. Bit 8 means "process every
// page" to the page filter; page removal and thresholding give mode 8 their
// own meaning through get_Mode. Bits 1, 2 and 4 are kept in the value and
// mean nothing to the module. O(1).
#pragma once

#include "platform/com/ComTypes.h"

class ProcessModeImpl {
public:
    void SetMode(LONG mode) { mode_ = mode; }
    LONG Mode() const { return mode_; }
    bool ProcessesAllPages() const { return (mode_ & 8) != 0; }

private:
    LONG mode_ = 0;
};
