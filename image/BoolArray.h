// A packed array of bits, least significant bit first within each byte, with
// one spare byte at the end. Storage of BoolImage. Construction is one
// allocation (bits / 8 + 1 bytes, left uninitialised); fill is O(bytes); bit
// access is O(1).
#pragma once

#include <cstdint>

class BoolArray {
public:
    // Throws QNCException "BoolArray: Bad size" for 0 bits and "BoolArray: Out
    // of memory" when the bytes cannot be allocated.
    explicit BoolArray(std::uint32_t bitCount);
    ~BoolArray();
    BoolArray(const BoolArray&) = delete;
    BoolArray& operator=(const BoolArray&) = delete;

    // Every byte, the spare one included, becomes 0xFF (true) or 0x00 (false).
    void fill(bool value);
    // Frees the bytes; a second call does nothing.
    void release();

    // Bit i (unchecked: i < bitCount()).
    bool get(std::uint32_t i) const { return (bytes_[i >> 3] >> (i & 7)) & 1u; }
    void set(std::uint32_t i, bool value) {
        const auto mask = static_cast<std::uint8_t>(1u << (i & 7));
        if (value) {
            bytes_[i >> 3] |= mask;
        } else {
            bytes_[i >> 3] &= static_cast<std::uint8_t>(~mask);
        }
    }

    std::uint32_t bitCount() const { return bitCount_; }
    std::uint32_t byteCount() const { return byteCount_; }
    std::uint8_t* bytes() { return bytes_; }
    const std::uint8_t* bytes() const { return bytes_; }

private:
    std::uint32_t bitCount_;
    std::uint32_t byteCount_;
    std::uint8_t* bytes_;
};
