// Collects what libtiff, libpng and libjpeg say while one file or page is
// decoded or encoded, so that their errors and warnings become the page's
// error text instead of lines on stderr. One log per reader or writer; a
// thread-local "current" log catches the messages libtiff sends to its
// process-wide handlers. Appending a message is O(length), capped.
#pragma once

#include <cstdarg>
#include <string>

struct tiff;

namespace imagelib {

class DecodeLog {
public:
    DecodeLog() = default;
    DecodeLog(const DecodeLog&) = delete;
    DecodeLog& operator=(const DecodeLog&) = delete;

    void error(const std::string& text);
    void warning(const std::string& text);
    // printf-style forms for the libraries' handlers.
    void errorV(const char* module, const char* format, va_list args);
    void warningV(const char* module, const char* format, va_list args);
    // Marks that an allocation failed (ours or a library's).
    void outOfMemory() { outOfMemory_ = true; }

    bool hasErrors() const { return errors_ > 0; }
    bool hasWarnings() const { return warnings_ > 0; }
    // True when an allocation failed or a message says memory ran out.
    bool ranOutOfMemory() const { return outOfMemory_; }
    // Every message so far, errors and warnings in order, joined by "; ".
    const std::string& text() const { return text_; }
    void clear();

    // libtiff 4.5 dereferences the result of some of its small allocations
    // without checking them. Before each libtiff step this makes sure a
    // spare reserve can still be allocated (and gives it back at once); when
    // it cannot, the step is not taken and the log says out of memory.
    bool roomForLibrary();

    // libtiff's per-file handlers (user data = the log); both return 1 so the
    // process-wide handlers are not called as well.
    static int TiffError(struct tiff* file, void* log, const char* module, const char* format, va_list args);
    static int TiffWarning(struct tiff* file, void* log, const char* module, const char* format, va_list args);
    // Routes libtiff's process-wide handlers to the thread's current log (or
    // nowhere) once per process.
    static void InstallProcessHandlers();

    // Makes `log` the thread's current log for the lifetime of the scope.
    class Scope {
    public:
        explicit Scope(DecodeLog& log);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        DecodeLog* previous_;
    };
    static DecodeLog* Current();

private:
    void add(const std::string& text);

    std::string text_;
    int errors_ = 0;
    int warnings_ = 0;
    bool outOfMemory_ = false;
};

}  // namespace imagelib
