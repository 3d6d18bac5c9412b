// Page range parsing.
#include "host/PageRangeSet.h"

#include <cctype>
#include <climits>
#include <cstdlib>

namespace {
bool ParseNumber(const std::string& text, long* out) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    *out = std::strtol(text.c_str(), nullptr, 10);
    return *out >= 1;
}
}  // namespace

std::optional<PageRangeSet> PageRangeSet::Parse(const std::string& input, std::string* reason) {
    std::string text;
    for (char c : input)
        if (!std::isspace(static_cast<unsigned char>(c))) text.push_back(c);
    PageRangeSet set;
    if (text.empty()) return set;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t comma = text.find(',', start);
        if (comma == std::string::npos) comma = text.size();
        const std::string term = text.substr(start, comma - start);
        const std::size_t dash = term.find('-');
        Span span{0, 0};
        bool ok;
        if (dash == std::string::npos) {
            ok = ParseNumber(term, &span.first);
            span.last = span.first;
        } else {
            const std::string left = term.substr(0, dash), right = term.substr(dash + 1);
            ok = (left.empty() ? (span.first = 1, true) : ParseNumber(left, &span.first)) &&
                 (right.empty() ? (span.last = LONG_MAX, true) : ParseNumber(right, &span.last)) &&
                 !(left.empty() && right.empty()) && span.first <= span.last;
        }
        if (!ok) {
            if (reason) *reason = "'" + term + "' is not a page or a span such as 3, 2-5 or 8-";
            return std::nullopt;
        }
        set.spans_.push_back(span);
        start = comma + 1;
    }
    return set;
}

bool PageRangeSet::Contains(long page) const {
    if (spans_.empty()) return true;
    for (const Span& span : spans_)
        if (page >= span.first && page <= span.last) return true;
    return false;
}
