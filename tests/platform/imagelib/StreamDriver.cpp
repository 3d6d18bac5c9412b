// A small driver for measuring peak memory (run it under /usr/bin/time -v):
//   imagelib_stream_driver make FILE PAGES   a TIFF of PAGES 24-bit A4 pages at 300 dpi
//   imagelib_stream_driver whole IN OUT      every page loaded, inverted, then all written
//   imagelib_stream_driver stream IN OUT     one page at a time: read, invert, append
// Not a test; the numbers go in reports, the behaviour is tested elsewhere.
#include "platform/imagelib/ImageWrapper.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 2480, kHeight = 3508;

int Make(const std::string& file, int pages) {
    imagefile::PageWriter writer;
    if (writer.begin(file, ImageFileFormat::Tiff) < 0) return std::fprintf(stderr, "%s\n", writer.error().c_str()), 1;
    for (int p = 0; p < pages; ++p) {
        const int page = ImageWrapper::create_handle_from_scratch(kWidth, kHeight, 24);
        BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(page);
        const std::size_t stride = dib::Stride(kWidth, 24);
        BYTE* bits = dib::Bits(dib);
        // Bands of colour and a changing texture, so that deflate has work to do.
        for (int y = 0; y < kHeight; ++y) {
            BYTE* row = bits + stride * static_cast<std::size_t>(y);
            for (int x = 0; x < kWidth * 3; ++x) row[x] = static_cast<BYTE>((x * (y % 7 + 1) + y / 40 + p * 31) & 0xFF);
        }
        ImageWrapper::set_resolution(page, 300, 300);
        if (writer.append(page) < 0) return std::fprintf(stderr, "%s\n", writer.error().c_str()), 1;
        ImageWrapper::delete_bitmap(page);
    }
    return writer.commit() < 0 ? (std::fprintf(stderr, "%s\n", writer.error().c_str()), 1) : 0;
}

int Whole(const std::string& in, const std::string& out) {
    const int count = imagefile::CountPages(in);
    std::vector<int> pages;
    for (int i = 0; i < count; ++i) {
        const int page = imagefile::LoadPage(in, i);
        if (page < 0) return 1;
        ImageWrapper::invert_bitmap(page);
        pages.push_back(page);
    }
    return imagefile::SavePages(out, pages, ImageFileFormat::Tiff) < 0 ? 1 : 0;
}

int Stream(const std::string& in, const std::string& out) {
    imagefile::PageReader reader;
    imagefile::PageWriter writer;
    if (reader.open(in) < 0 || writer.begin(out, reader.format()) < 0) return 1;
    for (int i = 0; i < reader.pageCount(); ++i) {
        const int page = reader.readPage(i);
        if (page < 0) return std::fprintf(stderr, "%s\n", reader.error().c_str()), 1;
        ImageWrapper::invert_bitmap(page);
        const int status = writer.append(page);
        ImageWrapper::delete_bitmap(page);
        if (status < 0) return std::fprintf(stderr, "%s\n", writer.error().c_str()), 1;
    }
    return writer.commit() < 0 ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "make") == 0) return Make(argv[2], std::atoi(argv[3]));
    if (argc == 4 && std::strcmp(argv[1], "whole") == 0) return Whole(argv[2], argv[3]);
    if (argc == 4 && std::strcmp(argv[1], "stream") == 0) return Stream(argv[2], argv[3]);
    std::fprintf(stderr, "usage: %s make FILE PAGES | whole IN OUT | stream IN OUT\n", argv[0]);
    return 2;
}
