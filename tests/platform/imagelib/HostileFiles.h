// Builds page files for the file tests in code: multi-page TIFFs written by
// the library, a map of their directories (to damage one on purpose), tiled
// TIFFs written with libtiff, and bare headers that declare huge pages.
#pragma once

#include "TestPages.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace imagelib_test {

inline std::string ReadBytes(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline void WriteBytes(const std::string& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

// A folder of its own per test, removed afterwards.
class FileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ =
            std::filesystem::temp_directory_path() / ("imagelib_files_" + std::to_string(::getpid()) + "_" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    // Names in the folder, for checking that nothing was left behind.
    std::vector<std::string> Listing() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::filesystem::path dir_;
};

// Little-endian TIFF fields.
inline std::uint32_t U32(const std::string& b, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}
inline std::uint16_t U16(const std::string& b, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8);
}
inline void PutU32(std::string& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
}
inline void PutU16(std::string& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<char>(v);
    b[at + 1] = static_cast<char>(v >> 8);
}

// Offsets of the directories of a little-endian TIFF, in chain order.
inline std::vector<std::size_t> DirectoryOffsets(const std::string& b) {
    std::vector<std::size_t> offsets;
    std::size_t at = U32(b, 4);
    while (at != 0 && at + 2 <= b.size() && offsets.size() < 100) {
        offsets.push_back(at);
        at = U32(b, at + 2 + 12 * std::size_t{U16(b, at)});
    }
    return offsets;
}

// Offset of the entry for `tag` in the directory at `ifd`; 0 when absent.
inline std::size_t EntryOffset(const std::string& b, std::size_t ifd, std::uint16_t tag) {
    for (std::size_t i = 0; i < U16(b, ifd); ++i) {
        const std::size_t entry = ifd + 2 + 12 * i;
        if (U16(b, entry) == tag) return entry;
    }
    return 0;
}

// First byte of the data of strip 0 of the directory at `ifd` (one strip or
// an array of offsets).
inline std::size_t FirstStripOffset(const std::string& b, std::size_t ifd) {
    const std::size_t entry = EntryOffset(b, ifd, 273);
    const std::uint32_t count = U32(b, entry + 4);
    return count == 1 ? U32(b, entry + 8) : U32(b, U32(b, entry + 8));
}

// A minimal uncompressed little-endian TIFF of one page that declares any
// size (its single strip is 16 bytes).
inline std::string DeclaredTiff(std::uint32_t width, std::uint32_t height, std::uint16_t bits, std::uint16_t samples,
                                std::uint16_t compression) {
    std::string b(8, '\0');
    b[0] = 'I';
    b[1] = 'I';
    b[2] = 42;
    PutU32(b, 4, 8);
    const std::uint16_t photometric = samples == 3 ? 2 : 1;
    const std::vector<std::array<std::uint32_t, 3>> entries = {
        {256, 4, width}, {257, 4, height},  {258, 3, bits},   {259, 3, compression}, {262, 3, photometric},
        {273, 4, 0},     {277, 3, samples}, {278, 4, height}, {279, 4, 16}};
    const std::size_t dataAt = 8 + 2 + 12 * entries.size() + 4;
    b.resize(dataAt + 16, '\0');
    PutU16(b, 8, static_cast<std::uint16_t>(entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::size_t e = 10 + 12 * i;
        PutU16(b, e, static_cast<std::uint16_t>(entries[i][0]));
        PutU16(b, e + 2, static_cast<std::uint16_t>(entries[i][1]));
        PutU32(b, e + 4, 1);
        const std::uint32_t value = entries[i][0] == 273 ? static_cast<std::uint32_t>(dataAt) : entries[i][2];
        if (entries[i][1] == 3)
            PutU16(b, e + 8, static_cast<std::uint16_t>(value));
        else
            PutU32(b, e + 8, value);
    }
    return b;
}

}  // namespace imagelib_test
