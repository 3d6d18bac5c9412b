// The process-wide table of bitmaps behind the integer handles. Lookups and
// insertions take one short lock on the table (O(1) average); work on a bitmap
// runs under that bitmap's own lock, so pages on different handles are
// processed in parallel.
#pragma once

#include "platform/imagelib/Dib.h"

#include <memory>
#include <mutex>
#include <unordered_map>

namespace imagelib {

class BitmapTable {
public:
    struct Entry {
        std::mutex mutex;  // held while an operation reads or replaces the DIB
        Dib dib;
    };

    static BitmapTable& Instance();

    // Stores the DIB under a new non-negative handle and returns it.
    int add(Dib dib);
    // The entry of a live handle, or null for negative, unknown or deleted ones.
    // The entry stays alive while the caller holds it, even if deleted meanwhile.
    std::shared_ptr<Entry> find(int handle) const;
    // Forgets the handle; false when it was not live.
    bool remove(int handle);
    std::size_t size() const;

private:
    mutable std::mutex mutex_;
    std::unordered_map<int, std::shared_ptr<Entry>> entries_;
    int next_ = 1;  // handles are not reused until the counter wraps
};

}  // namespace imagelib
