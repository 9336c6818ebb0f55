#include "survey/program/status_line.hpp"

#include <algorithm>
#include <cstdio>

#include "survey/survey_constants.hpp"

namespace sharp::survey {

StatusLine::StatusLine(bool enabled, double total, double alreadyDone, std::string phase)
    : enabled_(enabled), total_(total), alreadyDone_(alreadyDone), phase_(std::move(phase)),
      start_(std::chrono::steady_clock::now()), lastDrawn_(start_) {}

bool StatusLine::due() {
    if (!enabled_) return false;
    const auto now = std::chrono::steady_clock::now();
    if (std::chrono::duration<double>(now - lastDrawn_).count() < kStatusInterval) return false;
    lastDrawn_ = now;
    return true;
}

void StatusLine::update(double doneNumbers, std::uint64_t candidates, std::optional<double> secondsLeft) {
    if (!due()) return;
    const double elapsed = std::chrono::duration<double>(lastDrawn_ - start_).count();
    char pace[64];
    std::snprintf(pace, sizeof pace, "%.3g candidates/s", static_cast<double>(candidates) / elapsed);
    draw(doneNumbers, pace, secondsLeft);
}

void StatusLine::update(double done) {
    if (due()) draw(done, phase_, std::nullopt);
}

void StatusLine::draw(double doneNumbers, const std::string& middle, std::optional<double> secondsLeft) {
    const double elapsed = std::chrono::duration<double>(lastDrawn_ - start_).count();
    const double doneHere = doneNumbers - alreadyDone_;
    const double left = secondsLeft ? *secondsLeft : doneHere > 0 ? elapsed * (total_ - doneNumbers) / doneHere : 0;
    std::fprintf(stderr, "\r%5.1f%%  %s  %.0f s left   ", 100 * doneNumbers / total_, middle.c_str(), left);
    std::fflush(stderr);
    drawn_ = true;
}

void StatusLine::finish() {
    if (!drawn_) return;
    std::fprintf(stderr, "\r%60s\r", "");
    std::fflush(stderr);
    drawn_ = false;
}

std::optional<double> LatestWindowPace::secondsLeft(double seconds, double recorded, double inWindow) {
    if (recorded > recorded_) {
        lastPace_ = (seconds - windowStart_) / (recorded - recorded_);
        recorded_ = recorded;
        windowStart_ = seconds;
    }
    double pace = lastPace_;
    if (inWindow > 0) pace = std::max(pace, (seconds - windowStart_) / inWindow);
    if (pace <= 0) return std::nullopt;
    return pace * (total_ - recorded - inWindow);
}

}  // namespace sharp::survey
