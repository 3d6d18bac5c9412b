// Running out of memory: in a child process whose address space is limited
// (as under prlimit --as), every allocation failure of a big page, ours or a
// library's, comes back as IMG_OUT_OF_MEMORY or a write error; nothing
// crashes and no file or temporary file is left behind.
#include "HostileFiles.h"

#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace imagelib_test;

#if defined(__SANITIZE_ADDRESS__)
#define LEAFMEND_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LEAFMEND_UNDER_ASAN 1
#endif
#endif

#ifndef LEAFMEND_UNDER_ASAN
namespace {

constexpr rlim_t kLimit = rlim_t{400} << 20;

std::size_t AddressSpaceNow() {
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    unsigned long pages = 0;
    if (statm) {
        if (std::fscanf(statm, "%lu", &pages) != 1) pages = 0;
        std::fclose(statm);
    }
    return pages * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

void SetSoftLimit(rlim_t bytes);

// Leaves exactly `headroom` bytes of memory to allocate: no new mappings may
// be made, and the heap's free space is taken up by ballast except for
// `headroom` bytes of it.
class Squeeze {
public:
    explicit Squeeze(std::size_t headroom) {
        GrowStack();
        SetSoftLimit(AddressSpaceNow());
        while (count_ < kBlocks) {
            void* block = std::malloc(kBlock);
            if (!block) break;
            ballast_[count_++] = block;
        }
        for (std::size_t freed = 0; freed < headroom && count_ > 0; freed += kBlock) std::free(ballast_[--count_]);
    }
    ~Squeeze() {
        while (count_ > 0) std::free(ballast_[--count_]);
        SetSoftLimit(kLimit);
    }

private:
    // The stack needs address space to grow as well; grow it first, so that
    // what runs out is the heap.
    [[gnu::noinline]] static void GrowStack() {
        volatile char pad[1 << 20];
        for (std::size_t i = 0; i < sizeof pad; i += 4096) pad[i] = 0;
    }
    static constexpr std::size_t kBlock = 4096;
    static constexpr std::size_t kBlocks = 1 << 18;
    static inline void* ballast_[kBlocks];
    std::size_t count_ = 0;
};

void SetSoftLimit(rlim_t bytes) {
    rlimit limit{};
    ::getrlimit(RLIMIT_AS, &limit);
    limit.rlim_cur = bytes;
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < bytes) limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_AS, &limit);
}

// Runs `body` in a child under the 400 MiB limit; the child's exit code is
// its verdict (0 = every status was sound and memory did run out somewhere).
template <class Body>
void InLimitedChild(Body&& body) {
    std::fflush(nullptr);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        rlimit limit{kLimit, kLimit};
        if (::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(90);
        ::_exit(body());
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the child died of signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "see the child's lines on stderr";
}

bool Sound(int status, const char* what, bool* ranOut) {
    if (status == IMG_OUT_OF_MEMORY) *ranOut = true;
    if (status >= 0 || status == IMG_OUT_OF_MEMORY) return true;
    std::fprintf(stderr, "%s gave status %d\n", what, status);
    return false;
}

}  // namespace
#endif

class OutOfMemory : public FileTest {};

// A 12 000 x 12 000 grey page (144 MB) under a 400 MiB limit: what needs a
// second copy fails as out of memory, nothing crashes.
TEST_F(OutOfMemory, BigGreyPageUnder400MiBFailsCleanly) {
#ifdef LEAFMEND_UNDER_ASAN
    GTEST_SKIP() << "the address sanitizer reserves more address space than the limit";
#else
    const std::string input = path("big.tif");
    {
        Page big(12000, 12000, 8);
        ASSERT_GE(big.handle(), 0);
        for (int y = 100; y < 12000; y += 400) std::memset(RowOf(big.dib(), y), 0, 12000);  // lines to find
        ASSERT_EQ(imagefile::SavePages(input, {big.handle()}, ImageFileFormat::Tiff), IMG_OK);
    }
    InLimitedChild([&] {
        bool ok = true, ranOut = false;
        const int page = imagefile::LoadPage(input, 0);
        ok &= Sound(page, "loading", &ranOut);
        if (page < 0) return 3;
        ok &= Sound(ImageWrapper::rotate_bitmap(page, 3.0), "fine rotation", &ranOut);
        ok &= Sound(ImageWrapper::resize_bitmap(page, 24000, 24000, RESIZE_QUALITY_NORMAL), "enlarging", &ranOut);
        ok &= Sound(ImageWrapper::set_bit_depth(page, 24, false), "to colour", &ranOut);
        ok &= Sound(ImageWrapper::enlarge_canvas(page, 9000, 9000, 9000, 9000), "margins", &ranOut);
        // A second copy of the page no longer fits beside the first.
        const int second = imagefile::LoadPage(input, 0);
        ok &= Sound(second, "second load", &ranOut);
        ImageWrapper::delete_bitmap(second);
        ImageWrapper::delete_bitmap(page);
        return ok && ranOut ? 0 : 4;
    });
#endif
}

// Writers and readers of every format with almost no room left fail with a
// status and leave no file behind. (Run after the test above in one process,
// this once caught libtiff 4.5 dereferencing a failed small allocation while
// reading a directory; the library's reserve check now keeps it from that.)
TEST_F(OutOfMemory, WritersAndReadersWithNoRoomLeftFailCleanly) {
#ifdef LEAFMEND_UNDER_ASAN
    GTEST_SKIP() << "the address sanitizer reserves more address space than the limit";
#else
    Page binary(MakePattern(1000, 700, 1)), grey(MakePattern(600, 500, 8)), colour(MakePattern(500, 400, 24));
    ASSERT_EQ(
        imagefile::SavePages(path("in.tif"), {binary.handle(), grey.handle(), colour.handle()}, ImageFileFormat::Tiff),
        IMG_OK);
    ASSERT_EQ(imagefile::SavePages(path("in.png"), {colour.handle()}, ImageFileFormat::Png), IMG_OK);
    ASSERT_EQ(imagefile::SavePages(path("in.jpg"), {colour.handle()}, ImageFileFormat::Jpeg), IMG_OK);
    const std::string folder = dir_.string();
    InLimitedChild([&] {
        bool ok = true, ranOut = false;
        int failures = 0;
        const std::size_t headrooms[] = {0, 16 << 10, 64 << 10, 256 << 10, 1 << 20, 8 << 20};
        for (const std::size_t headroom : headrooms) {
            for (const auto format : {ImageFileFormat::Tiff, ImageFileFormat::Png, ImageFileFormat::Jpeg}) {
                const std::string target = folder + "/out" + std::to_string(static_cast<int>(format));
                const std::vector<int> pages = format == ImageFileFormat::Tiff
                                                   ? std::vector<int>{binary.handle(), grey.handle(), colour.handle()}
                                                   : std::vector<int>{colour.handle()};
                int written = 0;
                {
                    Squeeze squeeze(headroom);
                    written = imagefile::SavePages(target, pages, format);
                }
                ok &= written == IMG_OK || written == IMG_OUT_OF_MEMORY || written == IMG_FILE_WRITE_ERROR;
                if (written < 0) {
                    ++failures;
                    ranOut = true;
                    ok &= !std::filesystem::exists(target);
                }
                std::filesystem::remove(target);
            }
            for (const char* name : {"in.tif", "in.png", "in.jpg"}) {
                imagefile::PageReader reader;
                int status = IMG_OK;
                {
                    Squeeze squeeze(headroom);
                    status = reader.open(folder + "/" + name);
                    for (int i = 0; status >= 0 && i < reader.pageCount(); ++i) {
                        status = reader.readPage(i);
                        if (status >= 0) ImageWrapper::delete_bitmap(status);
                    }
                }
                if (status < 0 && status != IMG_OUT_OF_MEMORY) {
                    std::fprintf(stderr, "reading %s with %zu bytes to spare: %d %s\n", name, headroom, status,
                                 reader.error().c_str());
                    ok = false;
                }
                ranOut |= status == IMG_OUT_OF_MEMORY;
            }
        }
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            if (imagefile::IsTemporaryFileName(entry.path().filename().string())) {
                std::fprintf(stderr, "left behind: %s\n", entry.path().c_str());
                ok = false;
            }
        }
        if (failures == 0) std::fprintf(stderr, "no write ran out of memory\n");
        return ok && ranOut && failures > 0 ? 0 : 5;
    });
#endif
}
