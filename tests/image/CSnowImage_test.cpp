// CSnowImage: attaching and detaching handles (who deletes which bitmap), the
// raw and the private header, size/stride/resolution answers, and refusal of
// handles or depths it cannot show.
#include "image/CSnowImage.h"

#include "TestDibs.h"

#include <gtest/gtest.h>

#include <tuple>

using image_test::Alive;
using image_test::ExpectCzr;
using image_test::LibraryPage;

namespace {

TEST(CSnowImage, StartsEmpty) {
    CSnowImage holder;
    EXPECT_FALSE(holder.hasImage());
    EXPECT_EQ(holder.handle(), -1);
    EXPECT_EQ(holder.header(), nullptr);
    EXPECT_EQ(holder.bits(), nullptr);
    EXPECT_EQ(holder.palette(), nullptr);
    EXPECT_EQ(holder.width(), 0);
    EXPECT_EQ(holder.stride(), 0);
    EXPECT_FALSE(holder.ownsHandle());
}

class CSnowImageRaw : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(CSnowImageRaw, AnswersFromTheLibrarysHeader) {
    const int bits = std::get<0>(GetParam());
    const int width = std::get<1>(GetParam());
    LibraryPage page(width, 9, bits);
    ASSERT_GE(page.handle(), 0);
    ASSERT_GE(ImageWrapper::set_resolution(page.handle(), 300, 200), 0);
    CSnowImage holder;
    holder.attach(page.handle(), true);
    EXPECT_TRUE(holder.hasImage());
    EXPECT_TRUE(holder.ownsHandle());
    EXPECT_TRUE(holder.headerIsLibrarys());
    EXPECT_EQ(holder.header(), page.dib());
    EXPECT_EQ(holder.width(), width);
    EXPECT_EQ(holder.height(), 9);
    EXPECT_EQ(holder.bitCount(), bits);
    EXPECT_EQ(static_cast<std::size_t>(holder.stride()), image_test::RefStride(width, bits));
    EXPECT_EQ(holder.xResolution(), 300);
    EXPECT_EQ(holder.yResolution(), 200);
    EXPECT_EQ(holder.bits(), dib::Bits(page.dib()));
    if (bits == 24) {
        EXPECT_EQ(holder.palette(), nullptr);
    } else {
        EXPECT_EQ(reinterpret_cast<std::uint8_t*>(holder.palette()),
                  reinterpret_cast<std::uint8_t*>(page.dib()) + sizeof(BITMAPINFOHEADER));
    }
    EXPECT_EQ(holder.detach(), page.handle());
    EXPECT_TRUE(Alive(page.handle()));
    EXPECT_FALSE(holder.hasImage());
    EXPECT_EQ(holder.header(), nullptr);
    EXPECT_EQ(holder.width(), 0);
    EXPECT_EQ(holder.bitCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(DepthsAndWidths, CSnowImageRaw,
                         ::testing::Combine(::testing::Values(1, 8, 24), ::testing::Values(8, 13, 33, 100)));

TEST(CSnowImage, PrivateCopyIsSizeAndDepthOnly) {
    LibraryPage page(21, 5, 8);
    CSnowImage holder;
    holder.attach(page.handle(), false);
    EXPECT_FALSE(holder.headerIsLibrarys());
    ASSERT_NE(holder.header(), nullptr);
    EXPECT_NE(holder.header(), page.dib());
    EXPECT_EQ(holder.header()->biWidth, 21);
    EXPECT_EQ(holder.width(), 21);
    EXPECT_EQ(holder.height(), 5);
    EXPECT_EQ(holder.bitCount(), 8);
    EXPECT_EQ(holder.stride(), 24);
    // No rows behind a bare header: nothing to point at.
    EXPECT_EQ(holder.bits(), nullptr);
    EXPECT_EQ(holder.palette(), nullptr);
    // Switching to the raw header frees the copy (the leak checker sees it).
    holder.refresh(true);
    EXPECT_EQ(holder.header(), page.dib());
    holder.refresh(false);
    holder.detach();
}

TEST(CSnowImage, RefreshFollowsALibraryResize) {
    LibraryPage page(40, 30, 24);
    CSnowImage holder;
    holder.attach(page.handle(), true);
    ASSERT_GE(ImageWrapper::resize_bitmap(page.handle(), 20, 15, RESIZE_QUALITY_FAST), 0);
    holder.refresh(true);
    EXPECT_EQ(holder.width(), 20);
    EXPECT_EQ(holder.height(), 15);
    EXPECT_EQ(holder.header(), page.dib());
    EXPECT_EQ(holder.bits(), dib::Bits(page.dib()));
    holder.detach();
}

TEST(CSnowImage, DestructionDeletesAnAttachedBitmap) {
    const int handle = ImageWrapper::create_handle_from_scratch(16, 4, 1);
    ASSERT_GE(handle, 0);
    {
        CSnowImage holder;
        holder.attach(handle, false);
    }
    EXPECT_FALSE(Alive(handle));
}

TEST(CSnowImage, AttachingAnotherHandleDeletesThePreviousOne) {
    const int first = ImageWrapper::create_handle_from_scratch(16, 4, 8);
    LibraryPage second(16, 4, 8);
    CSnowImage holder;
    holder.attach(first, true);
    holder.attach(second.handle(), true);
    EXPECT_FALSE(Alive(first));
    EXPECT_TRUE(Alive(second.handle()));
    EXPECT_EQ(holder.handle(), second.handle());
    holder.detach();
}

TEST(CSnowImage, AttachingTheSameHandleAgainKeepsIt) {
    LibraryPage page(16, 4, 8);
    CSnowImage holder;
    holder.attach(page.handle(), false);
    holder.attach(page.handle(), true);
    EXPECT_TRUE(Alive(page.handle()));
    EXPECT_EQ(holder.header(), page.dib());
    holder.detach();
}

TEST(CSnowImage, UnknownHandleIsRefused) {
    for (const bool raw : {true, false}) {
        CSnowImage holder;
        ExpectCzr([&] { holder.attach(0x7ffffff0, raw); }, 2160);
        EXPECT_EQ(holder.header(), nullptr);
        holder.detach();  // nothing to delete
    }
}

TEST(CSnowImage, DepthTheLibraryCannotConvertIsReportedNotRetried) {
    LibraryPage page(16, 4, 24);
    BITMAPINFOHEADER* raw = page.dib();
    raw->biBitCount = 32;  // a depth the holder must convert, which this page cannot be
    {
        CSnowImage holder;
        ExpectCzr([&] { holder.attach(page.handle(), true); }, 2160);
        raw->biBitCount = 24;
        holder.detach();
    }
    EXPECT_TRUE(Alive(page.handle()));
}

}  // namespace
