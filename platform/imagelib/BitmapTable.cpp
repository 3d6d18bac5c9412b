// Handle table: hands out handles, finds and forgets bitmaps. O(1) per call.
#include "platform/imagelib/BitmapTable.h"

#include <climits>

namespace imagelib {

BitmapTable& BitmapTable::Instance() {
    static BitmapTable table;
    return table;
}

int BitmapTable::add(Dib dib) {
    auto entry = std::make_shared<Entry>();
    entry->dib = std::move(dib);
    std::lock_guard lock(mutex_);
    while (entries_.contains(next_)) next_ = next_ == INT_MAX ? 1 : next_ + 1;
    const int handle = next_;
    next_ = next_ == INT_MAX ? 1 : next_ + 1;
    entries_.emplace(handle, std::move(entry));
    return handle;
}

std::shared_ptr<BitmapTable::Entry> BitmapTable::find(int handle) const {
    if (handle < 0) return nullptr;
    std::lock_guard lock(mutex_);
    const auto it = entries_.find(handle);
    return it == entries_.end() ? nullptr : it->second;
}

bool BitmapTable::remove(int handle) {
    if (handle < 0) return false;
    std::shared_ptr<Entry> doomed;  // freed after the table lock is released
    std::lock_guard lock(mutex_);
    const auto it = entries_.find(handle);
    if (it == entries_.end()) return false;
    doomed = std::move(it->second);
    entries_.erase(it);
    return true;
}

std::size_t BitmapTable::size() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

}  // namespace imagelib
