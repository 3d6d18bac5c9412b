// A one-line progress bar on a terminal (stderr): pages done of pages known,
// counting the parts of pages in progress, the current file, elapsed time.
// Redrawn at most ten times a second; silent when disabled. Not thread-safe:
// the batch runner calls it under its lock.
#pragma once

#include <chrono>
#include <string>

class ProgressBar {
public:
    ProgressBar(long total, bool enabled);
    // `done` counts whole pages plus the done parts of pages in progress.
    void Update(double done, const std::string& label);
    // Ends the line (before a message or at the end of the run).
    void Finish();

private:
    long total_;
    bool enabled_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastDrawn_{};
};
