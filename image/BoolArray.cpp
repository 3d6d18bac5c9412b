// BoolArray: allocation, fill and release of the packed bits. O(bytes) at most.
#include "image/BoolArray.h"

#include "framework/QNCException.h"

#include <cstring>
#include <new>

BoolArray::BoolArray(std::uint32_t bitCount) : bitCount_(bitCount), byteCount_(0), bytes_(nullptr) {
    if (bitCount == 0) throw QNCException("BoolArray: Bad size", 0);
    byteCount_ = bitCount / 8 + 1;
    bytes_ = new (std::nothrow) std::uint8_t[byteCount_];
    if (!bytes_) throw QNCException("BoolArray: Out of memory", 0);
}

BoolArray::~BoolArray() { release(); }

void BoolArray::fill(bool value) {
    if (bytes_) std::memset(bytes_, value ? 0xFF : 0x00, byteCount_);
}

void BoolArray::release() {
    delete[] bytes_;
    bytes_ = nullptr;
}
