#include "survey/parallel/run_wide_window.hpp"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>

#include "survey/survey_constants.hpp"

namespace sharp::survey {

void runWideWindow(Uint128 from, Uint128 to, const SharpSet& sharps, unsigned threads,
                   const std::function<void(const WideReport&)>& deliver) {
    threads = std::max(1u, threads);
    const Uint128 segments = (to - from) / kWideSegmentNumbers + 1;
    // A round of two segments a thread at a time: the reports waiting stay few.
    const std::size_t round = 2 * static_cast<std::size_t>(threads);
    std::vector<WideReport> reports(round);
    for (Uint128 firstOfRound = 0; firstOfRound < segments; firstOfRound += round) {
        const std::size_t count = static_cast<std::size_t>(std::min<Uint128>(round, segments - firstOfRound));
        std::atomic<std::size_t> next = 0;
        std::exception_ptr failure;
        std::mutex failureLock;
        const auto work = [&] {
            try {
                WideSegment segment(sharps.ascending(), sharps.beyond());
                for (std::size_t k; (k = next++) < count;) {
                    WideReport& report = reports[k];
                    report.first = from + (firstOfRound + k) * kWideSegmentNumbers;
                    // Compared by distance: near 2^128 - 1 the segment's end would wrap round.
                    report.last = to - report.first < kWideSegmentNumbers ? to : report.first + (kWideSegmentNumbers - 1);
                    segment.test(report.first, report.last);
                    report.counts = segment.counts();
                    report.tossed = segment.tossed();
                }
            } catch (...) {
                const std::lock_guard lock(failureLock);
                if (!failure) failure = std::current_exception();
                next = count;
            }
        };
        {
            std::vector<std::jthread> helpers;
            for (unsigned t = 1; t < std::min<std::size_t>(threads, count); ++t) helpers.emplace_back(work);
            work();
        }  // joins
        if (failure) std::rethrow_exception(failure);
        for (std::size_t k = 0; k < count; ++k) deliver(reports[k]);
    }
}

}  // namespace sharp::survey
