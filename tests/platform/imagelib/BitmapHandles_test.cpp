// Handle table: creation, validation of caller DIBs, raw access and bad handles.
#include "TestPages.h"

#include <functional>
#include <thread>
#include <tuple>

using namespace imagelib_test;

TEST(CreateFromScratch, MakesWhitePageInHouseLayout) {
    for (const int bits : {1, 8, 24}) {
        Page page(13, 5, bits);
        ASSERT_GE(page.handle(), 0);
        const BITMAPINFOHEADER* h = page.dib();
        EXPECT_EQ(std::tuple(h->biSize, h->biWidth, h->biHeight, h->biBitCount, h->biXPelsPerMeter),
                  std::tuple(40u, 13, 5, bits, 0));
        EXPECT_EQ(dib::ColorTableEntries(*h), bits == 24 ? 0u : (bits == 1 ? 2u : 256u));
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 13; ++x) ASSERT_EQ(Get(page.dib(), x, y), White(bits));
        if (bits == 1) {
            const auto* palette = reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const BYTE*>(h) + 40);
            EXPECT_EQ(palette[0].rgbRed, 0);
            EXPECT_EQ(palette[1].rgbRed, 255);
        }
    }
}

TEST(CreateFromScratch, RejectsBadSizesAndDepths) {
    EXPECT_EQ(ImageWrapper::create_handle_from_scratch(10, 10, 16), IMG_UNSUPPORTED_COLOR);
    EXPECT_EQ(ImageWrapper::create_handle_from_scratch(10, 10, 32), IMG_UNSUPPORTED_COLOR);
    EXPECT_EQ(ImageWrapper::create_handle_from_scratch(0, 10, 8), IMG_BAD_ARGUMENT);
    EXPECT_EQ(ImageWrapper::create_handle_from_scratch(10, -1, 8), IMG_BAD_ARGUMENT);
    EXPECT_EQ(ImageWrapper::create_handle_from_scratch(1 << 30, 1 << 30, 1), IMG_BAD_ARGUMENT);
}

// Builds a caller-side packed DIB with the given header and colour table.
static std::vector<std::uint32_t> CallerDib(BITMAPINFOHEADER h, const std::vector<RGBQUAD>& table, BYTE fill) {
    const std::size_t rows = static_cast<std::size_t>(h.biHeight < 0 ? -h.biHeight : h.biHeight);
    std::vector<std::uint32_t> words(
        (40 + 4 * table.size() + dib::Stride(h.biWidth, h.biBitCount) * (rows == 0 ? 1 : rows)) / 4 + 1);
    auto* bytes = reinterpret_cast<BYTE*>(words.data());
    std::memset(bytes, fill, words.size() * 4);
    std::memcpy(bytes, &h, 40);
    if (!table.empty()) std::memcpy(bytes + 40, table.data(), 4 * table.size());
    return words;
}

static BITMAPINFOHEADER Header(LONG w, LONG h, WORD bits, DWORD used = 0) {
    return BITMAPINFOHEADER{40, w, h, 1, bits, BI_RGB, 0, 300, 300, used, 0};
}

TEST(CreateFromDib, CopiesPixelsAndResolution) {
    Page source(MakePattern(11, 7, 24));
    ImageWrapper::set_resolution(source.handle(), 200, 150);
    Page copy(ImageWrapper::create_handle_from_dib(source.dib()));
    ASSERT_GE(copy.handle(), 0);
    EXPECT_NE(copy.dib(), source.dib());
    EXPECT_EQ(copy.rows(), source.rows());
    EXPECT_EQ(copy.dib()->biXPelsPerMeter, 200);
    EXPECT_EQ(copy.dib()->biYPelsPerMeter, 150);
}

TEST(CreateFromDib, RejectsMalformedHeaders) {
    struct Case {
        BITMAPINFOHEADER header;
        int status;
    };
    BITMAPINFOHEADER badSize = Header(8, 8, 8);
    badSize.biSize = 12;
    BITMAPINFOHEADER compressed = Header(8, 8, 8);
    compressed.biCompression = 1;
    const Case cases[] = {
        {badSize, IMG_BAD_ARGUMENT},
        {Header(0, 8, 8), IMG_BAD_ARGUMENT},
        {Header(8, 0, 8), IMG_BAD_ARGUMENT},
        {Header(-8, 8, 8), IMG_BAD_ARGUMENT},
        {Header(8, 8, 16), IMG_UNSUPPORTED_COLOR},
        {Header(8, 8, 2), IMG_UNSUPPORTED_COLOR},
        {compressed, IMG_UNSUPPORTED_COLOR},
        {Header(8, 8, 8, 300), IMG_BAD_ARGUMENT},
        {Header(100000, 8, 8), IMG_BAD_ARGUMENT},
    };
    for (const Case& c : cases) {
        auto words = CallerDib(c.header, {}, 0);
        EXPECT_EQ(ImageWrapper::create_handle_from_dib(reinterpret_cast<BITMAPINFOHEADER*>(words.data())), c.status)
            << "width " << c.header.biWidth << " bits " << c.header.biBitCount;
    }
    EXPECT_EQ(ImageWrapper::create_handle_from_dib(nullptr), IMG_BAD_ARGUMENT);
}

TEST(CreateFromDib, NormalisesOtherLayouts) {
    // 4-bit with a grey table -> 8-bit grey; 32-bit -> 24-bit; coloured 8-bit
    // table -> 24-bit; top-down rows are turned bottom-up.
    auto grey4 = CallerDib(Header(4, 2, 4, 2), {{10, 10, 10, 0}, {200, 200, 200, 0}}, 0x01);
    Page four(ImageWrapper::create_handle_from_dib(reinterpret_cast<BITMAPINFOHEADER*>(grey4.data())));
    ASSERT_EQ(four.bits(), 8);
    EXPECT_EQ(Get(four.dib(), 0, 0), 10u);
    EXPECT_EQ(Get(four.dib(), 1, 1), 200u);

    auto colour8 = CallerDib(Header(4, 1, 8, 2), {{0, 0, 0, 0}, {30, 20, 10, 0}}, 0x01);
    Page eight(ImageWrapper::create_handle_from_dib(reinterpret_cast<BITMAPINFOHEADER*>(colour8.data())));
    ASSERT_EQ(eight.bits(), 24);
    EXPECT_EQ(Get(eight.dib(), 3, 0), 0x0A141Eu);

    auto topDown = CallerDib(Header(1, -2, 32), {}, 0);
    auto* h = reinterpret_cast<BITMAPINFOHEADER*>(topDown.data());
    std::memcpy(dib::Bits(h), "\x01\x02\x03\x00\x04\x05\x06\x00", 8);  // first row is the top row
    Page page(ImageWrapper::create_handle_from_dib(h));
    ASSERT_EQ(page.bits(), 24);
    ASSERT_EQ(page.height(), 2);
    EXPECT_EQ(Get(page.dib(), 0, 0), 0x030201u);
    EXPECT_EQ(Get(page.dib(), 0, 1), 0x060504u);
}

TEST(RawDib, WritesThroughAndStaysValidForInPlaceChanges) {
    Page page(16, 4, 8);
    BITMAPINFOHEADER* raw = page.dib();
    Set(raw, 0, 0, 7);
    BITMAPINFOHEADER info{};
    ASSERT_EQ(ImageWrapper::bitmap_info(page.handle(), &info), IMG_OK);
    EXPECT_EQ(info.biWidth, 16);
    ASSERT_EQ(ImageWrapper::invert_bitmap(page.handle()), IMG_OK);
    ASSERT_EQ(ImageWrapper::set_resolution(page.handle(), 300, 600), IMG_OK);
    ASSERT_EQ(ImageWrapper::rotate_bitmap(page.handle(), 180), IMG_OK);
    EXPECT_EQ(page.dib(), raw);
    EXPECT_EQ(Get(raw, 15, 3), 248u);
    EXPECT_EQ(raw->biYPelsPerMeter, 600);
}

TEST(BadHandles, EveryFunctionFailsCleanly) {
    const int deleted = ImageWrapper::create_handle_from_scratch(8, 8, 8);
    ImageWrapper::delete_bitmap(deleted);
    BITMAPINFOHEADER info{};
    const std::function<int(int)> calls[] = {
        [](int h) { return ImageWrapper::set_bit_depth(h, 24, false); },
        [](int h) { return ImageWrapper::invert_bitmap(h); },
        [](int h) { return ImageWrapper::crop_bitmap(h, 1, 1, 1, 1); },
        [&](int h) { return ImageWrapper::bitmap_info(h, &info); },
        [](int h) { return ImageWrapper::set_resolution(h, 300, 300); },
        [](int h) { return ImageWrapper::resize_bitmap(h, 4, 4, RESIZE_QUALITY_BEST); },
        [](int h) { return ImageWrapper::rotate_bitmap(h, 90); },
        [](int h) { return ImageWrapper::enlarge_canvas(h, 1, 1, 1, 1); },
    };
    for (const int handle : {-1, -13, deleted, 987654321}) {
        for (const auto& call : calls) EXPECT_EQ(call(handle), IMG_BAD_HANDLE) << handle;
        EXPECT_EQ(ImageWrapper::get_raw_dib(handle), nullptr);
        ImageWrapper::delete_bitmap(handle);  // harmless
    }
}

TEST(BitmapTable, ParallelUseOfSeparateHandles) {
    std::vector<std::thread> workers;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t) {
        workers.emplace_back([t, &failures] {
            for (int i = 0; i < 40; ++i) {
                Page page(MakePattern(30 + t, 20 + i % 5, i % 2 ? 1 : 24));
                const auto before = page.rows();
                for (int turn = 0; turn < 4; ++turn) failures[t] += ImageWrapper::rotate_bitmap(page.handle(), 90) < 0;
                failures[t] += page.rows() != before;
            }
        });
    }
    for (auto& w : workers) w.join();
    EXPECT_EQ(failures, std::vector<int>(4, 0));
}
