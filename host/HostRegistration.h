// Makes the host's creatable classes (property bag, page range, zone manager,
// status message) reachable by ProgID for this process: class objects with
// CoRegisterClassObject and volatile ProgID keys. Idempotent. O(1).
#pragma once

#include "host/HostApi.h"

ZR_HOST_API void RegisterHostClasses();
