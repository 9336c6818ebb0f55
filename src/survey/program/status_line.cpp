#include "survey/program/status_line.hpp"

#include <cstdio>

#include "survey/survey_constants.hpp"

namespace sharp::survey {

StatusLine::StatusLine(bool enabled, double total, double alreadyDone)
    : enabled_(enabled), total_(total), alreadyDone_(alreadyDone), start_(std::chrono::steady_clock::now()), lastDrawn_(start_) {}

void StatusLine::update(double doneNumbers, std::uint64_t candidates) {
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    if (std::chrono::duration<double>(now - lastDrawn_).count() < kStatusInterval) return;
    lastDrawn_ = now;
    const double elapsed = std::chrono::duration<double>(now - start_).count();
    const double done = doneNumbers / total_;
    const double doneHere = doneNumbers - alreadyDone_;
    const double left = doneHere > 0 ? elapsed * (total_ - doneNumbers) / doneHere : 0;
    std::fprintf(stderr, "\r%5.1f%%  %.3g candidates/s  %.0f s left   ", 100 * done,
                 static_cast<double>(candidates) / elapsed, left);
    std::fflush(stderr);
    drawn_ = true;
}

void StatusLine::finish() {
    if (!drawn_) return;
    std::fprintf(stderr, "\r%60s\r", "");
    std::fflush(stderr);
}

}  // namespace sharp::survey
