// Progress bar drawing.
#include "cli/ProgressBar.h"

#include <cstdio>

ProgressBar::ProgressBar(long total, bool enabled)
    : total_(total), enabled_(enabled), start_(std::chrono::steady_clock::now()) {}

void ProgressBar::Update(long done, const std::string& label) {
    if (!enabled_ || total_ <= 0) return;
    constexpr int kWidth = 30;
    const int filled = static_cast<int>(kWidth * done / total_);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.resize(kWidth, ' ');
    std::string shown = label.size() > 40 ? "..." + label.substr(label.size() - 37) : label;
    std::fprintf(stderr, "\r[%s] %ld/%ld pages %5.1fs %-40s", bar.c_str(), done, total_, seconds, shown.c_str());
    std::fflush(stderr);
    drawn_ = true;
}

void ProgressBar::Finish() {
    if (drawn_) std::fputc('\n', stderr);
    drawn_ = false;
}
