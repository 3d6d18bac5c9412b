// The host's markup object, for reading and writing job files and saved
// processes (CZRHostMarkup). O(1) to create.
#pragma once

#include "host/HostApi.h"
#include "host/ProcessInterfaces.h"

ZR_HOST_API HRESULT CreateHostMarkup(IZRXMLMarkup** markup);
