// The process mode: a 32-bit value as given and four flags derived from it on
// every set (only flag 8, "process every page", is consulted). O(1).
#pragma once

#include "platform/com/ComTypes.h"

class ProcessModeImpl {
public:
    void SetMode(LONG mode) {
        mode_ = mode;
        allPages_ = (mode & 8) != 0;
        flag1_ = (mode & 1) != 0;
        flag4_ = (mode & 4) != 0;
        flag2_ = (mode & 2) != 0;
    }
    LONG Mode() const { return mode_; }
    bool ProcessesAllPages() const { return allPages_; }

private:
    LONG mode_ = 0;
    bool allPages_ = false;
    bool flag1_ = false;
    bool flag4_ = false;
    bool flag2_ = false;
};
