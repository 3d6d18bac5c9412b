// Host markup creation.
#include "host/HostMarkup.h"

#include "xml/CZRXMLMarkup.h"

HRESULT CreateHostMarkup(IZRXMLMarkup** markup) { return CreateXMLMarkup(markup); }
