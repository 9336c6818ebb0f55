#include "survey/survey.hpp"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <map>
#include <mutex>
#include <thread>

#include "survey/segment.hpp"
#include "survey/survey_constants.hpp"

namespace sharp::survey {

namespace {

// The words of the range and how they are cut into segments.
struct Layout {
    std::uint64_t segmentWords, firstWord, lastWord, segments;

    Layout(std::uint64_t from, std::uint64_t to, std::uint64_t segmentOdds)
        : segmentWords(segmentOdds / 64),
          firstWord(wordOf(from)),
          lastWord(wordOf(to)),
          segments((lastWord - firstWord) / segmentWords + 1) {}

    std::uint64_t segmentFirstWord(std::uint64_t k) const { return firstWord + k * segmentWords; }
    std::uint64_t segmentEndWord(std::uint64_t k) const {
        return std::min(lastWord + 1, segmentFirstWord(k) + segmentWords);
    }
};

// Tests segment k and reports it: counts split at the bucket ends, tossed candidates listed.
SegmentReport testSegment(Segment& segment, const SurveyPlan& plan, const Layout& layout, std::uint64_t k) {
    const std::uint64_t firstWord = layout.segmentFirstWord(k);
    const std::uint64_t endWord = layout.segmentEndWord(k);
    segment.test(firstWord, endWord);
    SegmentReport report;
    report.first = std::max(plan.from, 128 * firstWord);
    report.last = std::min(plan.to, 128 * (endWord - 1) + 127);
    const auto& ends = plan.bucketEnds;
    std::size_t bucket = static_cast<std::size_t>(std::lower_bound(ends.begin(), ends.end(), report.first) - ends.begin());
    for (std::uint64_t low = report.first; bucket < ends.size(); ++bucket) {
        const std::uint64_t high = std::min(report.last, ends[bucket]);
        report.bucketCounts.emplace_back(bucket, segment.count(low, high));
        if (high == report.last) break;
        low = high + 1;
    }
    segment.forEachCandidate(report.first, report.last, true, [&](std::uint64_t c, CandidateClass cls) {
        report.tossed.push_back({c, cls == CandidateClass::tossedPrime});
    });
    return report;
}

// Hands out segments in ascending order and delivers their reports in that order.
// A worker may run at most `lookahead` segments ahead of the oldest undelivered one,
// so the reports waiting for delivery stay few.
class Scheduler {
public:
    Scheduler(std::uint64_t segments, std::uint64_t lookahead, std::function<void(const SegmentReport&)> deliver)
        : segments_(segments), lookahead_(lookahead), deliver_(std::move(deliver)) {}

    // The next segment to test, or false when none is left (or the survey failed).
    bool take(std::uint64_t& k) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return failed_ || next_ >= segments_ || next_ < delivered_ + lookahead_; });
        if (failed_ || next_ >= segments_) return false;
        k = next_++;
        return true;
    }

    void finish(std::uint64_t k, SegmentReport report) {
        std::lock_guard lock(mutex_);
        waiting_.emplace(k, std::move(report));
        try {
            for (auto it = waiting_.begin(); !failed_ && it != waiting_.end() && it->first == delivered_;) {
                deliver_(it->second);
                it = waiting_.erase(it);
                ++delivered_;
            }
        } catch (...) {
            failLocked(std::current_exception());
        }
        changed_.notify_all();
    }

    void fail(std::exception_ptr error) {
        std::lock_guard lock(mutex_);
        failLocked(error);
        changed_.notify_all();
    }

    void rethrowFailure() const {
        if (error_) std::rethrow_exception(error_);
    }

private:
    void failLocked(std::exception_ptr error) {
        if (!failed_) error_ = error;
        failed_ = true;
    }

    const std::uint64_t segments_, lookahead_;
    const std::function<void(const SegmentReport&)> deliver_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::uint64_t next_ = 0, delivered_ = 0;
    std::map<std::uint64_t, SegmentReport> waiting_;
    bool failed_ = false;
    std::exception_ptr error_;
};

}  // namespace

std::vector<ClassCounts> runSurvey(const SurveyPlan& plan, const std::function<void(const SegmentReport&)>& deliver) {
    const Layout layout(plan.from, plan.to, plan.segmentOdds);
    std::vector<ClassCounts> buckets(plan.bucketEnds.size());
    const auto collect = [&](const SegmentReport& report) {
        for (const auto& [bucket, counts] : report.bucketCounts) buckets[bucket] += counts;
        deliver(report);
    };
    const unsigned threads = std::max(1u, plan.threads);
    Scheduler scheduler(layout.segments, kLookaheadPerThread * threads, collect);
    const CandidatePattern pattern;
    const auto work = [&] {
        try {
            Segment segment(pattern, layout.segmentWords);
            for (std::uint64_t k = 0; scheduler.take(k);) scheduler.finish(k, testSegment(segment, plan, layout, k));
        } catch (...) {
            scheduler.fail(std::current_exception());
        }
    };
    std::vector<std::jthread> workers;
    for (unsigned t = 1; t < threads; ++t) workers.emplace_back(work);
    work();
    workers.clear();  // joins
    scheduler.rethrowFailure();
    return buckets;
}

void listCandidates(std::uint64_t from, std::uint64_t to,
                    const std::function<void(std::uint64_t, CandidateClass)>& visit, std::uint64_t segmentOdds) {
    const Layout layout(from, to, segmentOdds);
    const CandidatePattern pattern;
    Segment segment(pattern, layout.segmentWords);
    for (std::uint64_t k = 0; k < layout.segments; ++k) {
        segment.test(layout.segmentFirstWord(k), layout.segmentEndWord(k));
        segment.forEachCandidate(std::max(from, 128 * layout.segmentFirstWord(k)), to, false, visit);
    }
}

}  // namespace sharp::survey
