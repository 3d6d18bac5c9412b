#include "cli/ProgressBar.h"

#include <algorithm>
#include <cstdio>

ProgressBar::ProgressBar(long total, bool enabled)
    : total_(total), enabled_(enabled), start_(std::chrono::steady_clock::now()) {}

void ProgressBar::Update(double done, const std::string& label) {
    if (!enabled_ || total_ <= 0) return;
    const auto now = std::chrono::steady_clock::now();
    if (drawn_ && now - lastDrawn_ < std::chrono::milliseconds(100) && done < static_cast<double>(total_)) return;
    lastDrawn_ = now;
    constexpr int kWidth = 30;
    const double share = std::clamp(done / static_cast<double>(total_), 0.0, 1.0);
    const int filled = static_cast<int>(kWidth * share);
    const double seconds = std::chrono::duration<double>(now - start_).count();
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.resize(kWidth, ' ');
    const std::string shown = label.size() > 40 ? "..." + label.substr(label.size() - 37) : label;
    std::fprintf(stderr, "\r[%s] %5.1f/%ld pages %5.1fs %-40s", bar.c_str(), done, total_, seconds, shown.c_str());
    std::fflush(stderr);
    drawn_ = true;
}

void ProgressBar::Finish() {
    if (drawn_) std::fputc('\n', stderr);
    drawn_ = false;
}
