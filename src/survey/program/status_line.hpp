// The one status line a long survey keeps up to date on a terminal's standard error.
#pragma once

#include <chrono>
#include <cstdint>

namespace sharp::survey {

class StatusLine {
public:
    // Shows nothing unless `enabled` (standard error is a terminal and not --quiet);
    // `total` numbers are to be tested, `alreadyDone` of them recorded before this run.
    StatusLine(bool enabled, double total, double alreadyDone = 0);

    // Called as `done` numbers are tested (those recorded before included) and this
    // run has found `candidates` candidates; redraws at most every kStatusInterval
    // seconds: percent done, candidates per second, time left at this run's pace.
    void update(double done, std::uint64_t candidates);

    // Clears the line.
    void finish();

private:
    bool enabled_;
    bool drawn_ = false;
    double total_, alreadyDone_;
    std::chrono::steady_clock::time_point start_, lastDrawn_;
};

}  // namespace sharp::survey
