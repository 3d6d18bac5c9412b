// 300-dpi A4 test pages for benchmarks, rendered once per process and handed
// out as fresh image library handles. Rendering costs ~50 ms (1-bit) to
// ~400 ms (colour); copies cost one memcpy.
#pragma once

#include "host/CZRDocument.h"

// A document with one page holding a copy of the A4 page of `bits` (1, 8, 24).
CComPtr<CZRDocument> BenchDocument(int bits, double skewDegrees = 0.0);
