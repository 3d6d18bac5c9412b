// Helpers for the command's tests: a fresh folder per test, grey pages with a
// known pattern written as PNG or (multi-page) TIFF, pixels read back, and
// the built leafmend run with its exit code and output captured.
#pragma once

#include "platform/imagelib/ImageWrapper.h"
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

// Grey level of the test pattern at (x, y): no two neighbours alike, and a
// different picture for every seed.
inline BYTE PatternAt(int x, int y, int seed) { return static_cast<BYTE>((x * 7 + y * 13 + seed * 31) & 0xFF); }

// An 8-bit page of the pattern.
inline int MakePatternPage(int width, int height, int seed) {
    const int handle = ImageWrapper::create_handle_from_scratch(width, height, 8);
    BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(handle);
    const std::size_t stride = dib::Stride(width, 8);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            dib::Bits(dib)[stride * static_cast<std::size_t>(height - 1 - y) + static_cast<std::size_t>(x)] =
                PatternAt(x, y, seed);
    ImageWrapper::set_resolution(handle, 300, 300);
    return handle;
}

// Writes pattern pages with the given seeds as one file.
inline void WritePatternFile(const fs::path& path, int width, int height, const std::vector<int>& seeds,
                             ImageFileFormat format) {
    std::vector<int> handles;
    for (int seed : seeds) handles.push_back(MakePatternPage(width, height, seed));
    ASSERT_GE(imagefile::SavePages(path.string(), handles, format), 0);
    for (int handle : handles) ImageWrapper::delete_bitmap(handle);
}

// Checks every pixel of page `index` of `path` against expected(x, y); the page must be width x height.
inline void ExpectPage(const fs::path& path, int index, int width, int height,
                       const std::function<unsigned(int, int)>& expected) {
    const int page = imagefile::LoadPage(path.string(), index);
    ASSERT_GE(page, 0) << path;
    const BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(page);
    EXPECT_EQ(dib->biWidth, width);
    EXPECT_EQ(dib->biHeight, height);
    int wrong = 0;
    if (dib->biWidth == width && dib->biHeight == height)
        for (int y = 0; y < height && wrong < 5; ++y)
            for (int x = 0; x < width && wrong < 5; ++x)
                if (PixelAt(page, x, y) != expected(x, y)) {
                    ADD_FAILURE() << path << " page " << index + 1 << " pixel (" << x << "," << y
                                  << "): " << PixelAt(page, x, y) << " instead of " << expected(x, y);
                    ++wrong;
                }
    ImageWrapper::delete_bitmap(page);
}

inline std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class CommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        work_ =
            fs::temp_directory_path() / ("leafmend-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name() +
                                         "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(work_);
        fs::create_directories(work_);
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(work_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(work_, ec);
    }
    // Runs leafmend with `arguments` (shell words) from the work folder; stdout
    // and stderr land in out_ and err_.
    int Leafmend(const std::string& arguments, const std::string& prefix = "") {
        const std::string command = "cd '" + work_.string() + "' && " + prefix + std::string(LEAFMEND_BIN) + " " +
                                    arguments + " > stdout.txt 2> stderr.txt";
        const int status = std::system(command.c_str());
        out_ = ReadText(work_ / "stdout.txt");
        err_ = ReadText(work_ / "stderr.txt");
        fs::remove(work_ / "stdout.txt");
        fs::remove(work_ / "stderr.txt");
        if (WIFEXITED(status)) return WEXITSTATUS(status);
        if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
        return -1;
    }
    fs::path work_;
    std::string out_, err_;
};
