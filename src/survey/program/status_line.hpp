// The one status line a long survey keeps up to date on a terminal's standard error.
#pragma once

#include <chrono>
#include <cstdint>

namespace sharp::survey {

class StatusLine {
public:
    // Shows nothing unless `enabled` (standard error is a terminal and not --quiet);
    // `total` numbers are to be tested.
    StatusLine(bool enabled, double total);

    // Called as the survey has tested `done` numbers holding `candidates` candidates;
    // redraws at most every kStatusInterval seconds: percent done, candidates per
    // second, time left.
    void update(double done, std::uint64_t candidates);

    // Clears the line.
    void finish();

private:
    bool enabled_;
    bool drawn_ = false;
    double total_;
    std::chrono::steady_clock::time_point start_, lastDrawn_;
};

}  // namespace sharp::survey
