// The one status line a long survey keeps up to date on a terminal's standard error.
#pragma once

#include <chrono>
#include <cstdint>

namespace sharp::survey {

class StatusLine {
public:
    // Shows nothing unless `enabled` (standard error is a terminal and not --quiet).
    StatusLine(bool enabled, std::uint64_t from, std::uint64_t to);

    // Called as the survey passes `reached` with `candidates` tested so far; redraws
    // at most every kStatusInterval seconds: percent done, candidates per second, time left.
    void update(std::uint64_t reached, std::uint64_t candidates);

    // Clears the line.
    void finish();

private:
    bool enabled_;
    bool drawn_ = false;
    std::uint64_t from_, to_;
    std::chrono::steady_clock::time_point start_, lastDrawn_;
};

}  // namespace sharp::survey
