// A one-line progress bar on a terminal (stderr): pages done of pages
// known, the current file, elapsed time. Silent when stderr is no terminal.
#pragma once

#include <chrono>
#include <string>

class ProgressBar {
public:
    explicit ProgressBar(long total, bool enabled);
    void Update(long done, const std::string& label);
    void Finish();

private:
    long total_;
    bool enabled_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point start_;
};
