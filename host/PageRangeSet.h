// Page range texts: comma-separated pages and spans, 1-based, e.g.
// "1-3,5,8-" (8 to the end) or "-4" (1 to 4); spaces are ignored and the
// empty text means every page. O(terms) per test.
#pragma once

#include "host/HostApi.h"

#include <optional>
#include <string>
#include <vector>

class ZR_HOST_API PageRangeSet {
public:
    // Parses the text; nullopt (with a reason) when it is not a valid range.
    static std::optional<PageRangeSet> Parse(const std::string& text, std::string* reason = nullptr);
    bool Contains(long page) const;
    bool IsEverything() const { return spans_.empty(); }

private:
    struct Span {
        long first;
        long last;  // LONG_MAX for an open end
    };
    std::vector<Span> spans_;
};
