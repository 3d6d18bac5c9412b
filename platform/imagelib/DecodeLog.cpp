// Message collection for the image file codecs; see the header.
#include "platform/imagelib/DecodeLog.h"

#include <sys/mman.h>
#include <tiffio.h>

#include <cstdio>
#include <mutex>

namespace imagelib {
namespace {

constexpr std::size_t kReserve = std::size_t{2} << 20;
constexpr std::size_t kMaxText = 600;  // enough for a few messages, bounded for hostile files

thread_local DecodeLog* current = nullptr;

std::string Format(const char* module, const char* format, va_list args) {
    char buffer[512];
    std::vsnprintf(buffer, sizeof buffer, format ? format : "", args);
    std::string text = buffer;
    // libtiff names the function or the file as the module; the file is
    // named by the caller already, so keep only the message.
    (void)module;
    return text;
}

bool SaysOutOfMemory(const std::string& text) {
    for (const char* phrase : {"memory", "No space for", "Cannot allocate", "cannot allocate", "Failed to allocate",
                               "Insufficient memory", "Out of memory", "out of memory"}) {
        if (text.find(phrase) != std::string::npos) return true;
    }
    return false;
}

void ProcessWideError(thandle_t, const char* module, const char* format, va_list args) {
    if (DecodeLog* log = DecodeLog::Current()) log->errorV(module, format, args);
}

void ProcessWideWarning(thandle_t, const char* module, const char* format, va_list args) {
    if (DecodeLog* log = DecodeLog::Current()) log->warningV(module, format, args);
}

}  // namespace

void DecodeLog::add(const std::string& text) {
    if (SaysOutOfMemory(text)) outOfMemory_ = true;
    if (text_.size() >= kMaxText) return;
    if (!text_.empty()) text_ += "; ";
    text_ += text;
    if (text_.size() > kMaxText) text_.resize(kMaxText);
}

void DecodeLog::error(const std::string& text) {
    ++errors_;
    add(text);
}

void DecodeLog::warning(const std::string& text) {
    ++warnings_;
    add(text);
}

void DecodeLog::errorV(const char* module, const char* format, va_list args) { error(Format(module, format, args)); }

void DecodeLog::warningV(const char* module, const char* format, va_list args) {
    warning(Format(module, format, args));
}

bool DecodeLog::roomForLibrary() {
    // A private writable mapping counts against an address-space limit and
    // the commit charge just as the library's allocations will; it is never
    // touched, so it costs no memory, and no heap is disturbed.
    void* reserve = ::mmap(nullptr, kReserve, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (reserve != MAP_FAILED) {
        ::munmap(reserve, kReserve);
        return true;
    }
    outOfMemory();
    error("out of memory");
    return false;
}

void DecodeLog::clear() {
    text_.clear();
    errors_ = 0;
    warnings_ = 0;
    outOfMemory_ = false;
}

int DecodeLog::TiffError(TIFF*, void* log, const char* module, const char* format, va_list args) {
    static_cast<DecodeLog*>(log)->errorV(module, format, args);
    return 1;
}

int DecodeLog::TiffWarning(TIFF*, void* log, const char* module, const char* format, va_list args) {
    static_cast<DecodeLog*>(log)->warningV(module, format, args);
    return 1;
}

void DecodeLog::InstallProcessHandlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        // No stderr printing; what is said goes to the current log.
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
        TIFFSetErrorHandlerExt(ProcessWideError);
        TIFFSetWarningHandlerExt(ProcessWideWarning);
    });
}

DecodeLog::Scope::Scope(DecodeLog& log) : previous_(current) { current = &log; }

DecodeLog::Scope::~Scope() { current = previous_; }

DecodeLog* DecodeLog::Current() { return current; }

}  // namespace imagelib
