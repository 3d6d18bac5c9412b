// Fuzzes page files as the host reads them: the bytes become a file that the
// page reader opens (checking every page's directory) and reads page by page;
// every page read goes through a few library operations and, when small,
// back out through the page writer in its own format. Also feeds the bytes
// as a packed DIB to create_handle_from_dib. Nothing may crash, leak or read
// out of bounds; the pixel budget is lowered so every run stays fast.
#include "platform/imagelib/ImageWrapper.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string folder = [] {
        imagefile::SetMaxPixels(std::uint64_t{1} << 20);
        return "/dev/shm/leafmend-image-fuzz-" + std::to_string(::getpid());
    }();
    const std::string path = folder + ".in";
    if (FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    }
    imagefile::Sniff(path);
    imagefile::PageReader reader;
    if (reader.open(path) >= 0) {
        imagefile::PageWriter writer;
        const bool writing = writer.begin(folder + ".out", reader.format()) >= 0;
        for (int i = 0; i < reader.pageCount() && i < 4; ++i) {
            const int handle = reader.readPage(i);
            if (handle < 0) continue;
            BITMAPINFOHEADER header{};
            ImageWrapper::bitmap_info(handle, &header);
            // Keep each run fast: operate only on small pages.
            if (static_cast<long long>(header.biWidth) * header.biHeight <= 1 << 14) {
                if (writing) writer.append(handle);
                ImageWrapper::rotate_bitmap(handle, 90);
                ImageWrapper::rotate_bitmap(handle, 3);
                ImageWrapper::set_bit_depth(handle, 1, true);
                ImageWrapper::invert_bitmap(handle);
            }
            ImageWrapper::delete_bitmap(handle);
        }
        if (writing && writer.pageCount() > 0 && writer.commit() >= 0) {
            imagefile::PageReader again;
            if (again.open(folder + ".out") < 0 || again.pageCount() != writer.pageCount()) std::abort();
        }
    }
    // The same bytes as a caller's packed DIB (header, colour table, rows).
    if (size >= sizeof(BITMAPINFOHEADER)) {
        std::vector<std::uint8_t> copy(data, data + size);
        auto* dibHeader = reinterpret_cast<BITMAPINFOHEADER*>(copy.data());
        // Claim no more rows than the buffer holds; the library reads what the header says.
        if (dibHeader->biSize == 40 && dibHeader->biWidth > 0 && dibHeader->biWidth < 4096 &&
            dibHeader->biHeight != 0 && dibHeader->biHeight > -4096 && dibHeader->biHeight < 4096 &&
            dib::PackedSize(*dibHeader) <= size) {
            const int handle = ImageWrapper::create_handle_from_dib(dibHeader);
            if (handle >= 0) ImageWrapper::delete_bitmap(handle);
        }
    }
    return 0;
}
