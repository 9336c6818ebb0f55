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

// The time a heights survey has left: the windows grow dearer with height, so the
// numbers left go at the pace of the latest window finished (or of the one in
// progress, when that is slower), not at the average one.
class LatestWindowPace {
public:
    // `total` numbers are to be tested, `recorded` of them in windows already recorded.
    LatestWindowPace(double total, double recorded) : total_(total), recorded_(recorded) {}

    // At `seconds` since the start: `recorded` numbers lie in windows recorded, `inWindow`
    // in the one in progress. Nothing before a pace is known.
    std::optional<double> secondsLeft(double seconds, double recorded, double inWindow);

private:
    double total_, recorded_;
    double windowStart_ = 0, lastPace_ = 0;
};

}  // namespace sharp::survey
