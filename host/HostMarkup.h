// The host's own markup object, for reading and writing job files and saved
// processes (the same reader and writer the process module uses, compiled
// into the host library). O(1) to create.
#pragma once

#include "host/HostApi.h"
#include "host/ProcessInterfaces.h"

ZR_HOST_API HRESULT CreateHostMarkup(IZRXMLMarkup** markup);
