// The files behind a page as page removal sees them: the size of a page's
// image file in bytes (a 32-bit count, as the threshold compares it), the
// deletion of a page's files, and whether two paths name one file. One
// file-system call each.
#pragma once

#include <cstdint>
#include <string>

namespace pagefile {

// Size of the regular file at `path` (UTF-8). False when it cannot be read
// (missing, not permitted, a folder or other non-file) or does not fit in 31
// bits, which the 32-bit count cannot report.
bool SizeOf(const std::string& path, std::int32_t* bytes);

// Deletes the file at `path` (UTF-8); a folder is never removed, an empty
// path is skipped, and failures are ignored as the caller ignores them.
void Delete(const std::string& path);

// True when both paths exist and name the same file (links and other
// spellings of one file included).
bool SameFile(const std::string& a, const std::string& b);

}  // namespace pagefile
