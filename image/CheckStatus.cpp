// Image library status codes raised as the module's messages. O(1).
#include "image/CheckStatus.h"

#include "framework/CZRException.h"
#include "resources/MessageIds.h"

void CheckStatus(int status) {
    if (status >= 0) return;
    switch (status) {
        case -21:
            throw CZRException(IDS_UNSUPPORTED_COLOR);
        case -12:
        case -7:
        case -3:
        case -2:
            throw CZRException(IDS_ERROR_ACCESSING_FILE);
        case -9:
        case -6:
            throw CZRException(IDS_ERROR_SAVING_FILE);
        case -1:
            throw CZRException(IDS_OUT_OF_MEMORY);
        default:
            throw CZRException(IDS_UNKNOWN_INTERNAL_ERROR);
    }
}
