// The one status line a long survey keeps up to date on a terminal's standard error.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace sharp::survey {

class StatusLine {
public:
    // Shows nothing unless `enabled` (standard error is a terminal and not --quiet);
    // `total` numbers (or steps of `phase`) are to be done, `alreadyDone` of them
    // before this run. A named phase shows its name where a survey shows its pace.
    StatusLine(bool enabled, double total, double alreadyDone = 0, std::string phase = {});

    // Called as `done` numbers are tested (those recorded before included) and this
    // run has found `candidates` candidates; redraws at most every kStatusInterval
    // seconds: percent done, candidates per second, time left at this run's pace, or
    // `secondsLeft` where the caller knows better.
    void update(double done, std::uint64_t candidates, std::optional<double> secondsLeft = std::nullopt);
    // The same for a phase: percent done, its name, time left at its pace.
    void update(double done);

    // Clears the line.
    void finish();

private:
    bool due();
    void draw(double done, const std::string& middle, std::optional<double> secondsLeft);

    bool enabled_;
    bool drawn_ = false;
    double total_, alreadyDone_;
    std::string phase_;
    std::chrono::steady_clock::time_point start_, lastDrawn_;
};

}  // namespace sharp::survey
