#include "survey/parallel/run_survey.hpp"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <map>
#include <new>
#include <optional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

#include "survey/check/segment.hpp"
#include "survey/sieve/odd_words.hpp"
#include "survey/survey_constants.hpp"

namespace sharp::survey {

namespace {

// Consecutive words a worker tests in order, as one stream of the sieve, so each
// segment's prime bits serve as the next one's window: parts of one or more pieces
// that follow one another.
struct JobPart {
    std::uint64_t firstWord, endWord;
    std::uint64_t piece;
    bool endsPiece;
};
struct Job {
    std::uint64_t sequence;
    std::vector<JobPart> parts;
};

// Tests the segment of words first .. end - 1 and reports it: counts split at the
// bucket ends, tossed candidates listed.
SegmentReport testSegment(Segment& segment, const SurveyPlan& plan, std::uint64_t first, std::uint64_t end,
                          std::uint64_t jobEnd) {
    segment.test(first, end, jobEnd);
    SegmentReport report;
    report.first = std::max(plan.from, 128 * first);
    report.last = std::min(plan.to, 128 * (end - 1) + 127);
    const auto& ends = plan.bucketEnds;
    std::size_t bucket = static_cast<std::size_t>(std::lower_bound(ends.begin(), ends.end(), report.first) - ends.begin());
    for (std::uint64_t low = report.first; bucket < ends.size(); ++bucket) {
        const std::uint64_t high = std::min(report.last, ends[bucket]);
        report.bucketCounts.emplace_back(bucket, segment.count(low, high));
        if (high == report.last) break;
        low = high + 1;
    }
    report.tossed = segment.takeTossed();
    std::erase_if(report.tossed, [&](const TossedCandidate& t) { return t.value < report.first || t.value > report.last; });
    return report;
}

// Cuts the pieces into jobs, hands them out in order and delivers their reports in
// that order. A job runs on into the next piece when that one follows on, so a
// thread far up finds its sieving primes once for its whole share. A worker may run
// at most `lookahead` jobs ahead of the oldest undelivered one, and the reports of a
// job that waits for the ones before it are held only up to kHeldTossed tossed
// candidates: past that its worker waits its turn, so the reports held stay few.
class Scheduler {
public:
    Scheduler(std::uint64_t jobWords, std::uint64_t lookahead, std::function<std::optional<Piece>()> nextPiece,
              std::function<void(const SegmentReport&)> deliver)
        : jobWords_(jobWords),
          lookahead_(lookahead),
          nextPiece_(std::move(nextPiece)),
          deliver_(std::move(deliver)) {}

    // The next job to test, or false when none is left (or the survey failed).
    bool take(Job& job) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return failed_ || exhausted_ || next_ < delivered_ + lookahead_; });
        job.parts.clear();
        std::uint64_t words = 0;
        try {
            while (!failed_ && words < jobWords_) {
                if (!piece_ || position_ == piece_->endWord) {
                    if (exhausted_) break;
                    piece_ = nextPiece_();
                    exhausted_ = !piece_;
                    if (!piece_) break;
                    position_ = piece_->firstWord;
                    // A piece that does not follow on waits for the next job.
                    if (!job.parts.empty() && position_ != job.parts.back().endWord) break;
                }
                const std::uint64_t end = std::min(piece_->endWord, position_ + (jobWords_ - words));
                job.parts.push_back({position_, end, piece_->id, end == piece_->endWord});
                words += end - position_;
                position_ = end;
            }
        } catch (...) {
            failLocked(std::current_exception());
        }
        if (failed_ || job.parts.empty()) {
            changed_.notify_all();
            return false;
        }
        job.sequence = next_++;
        waiting_.emplace(job.sequence, Held{});
        return true;
    }

    // Delivers a segment's report of `job` now, when every job before it is delivered,
    // or holds it; false when the survey failed and the job should stop.
    bool report(const Job& job, SegmentReport report) {
        std::unique_lock lock(mutex_);
        Held& held = waiting_.at(job.sequence);
        held.tossed += report.tossed.size();
        held.reports.push_back(std::move(report));
        if (job.sequence != delivered_ && held.tossed > kHeldTossed) {
            changed_.wait(lock, [&] { return failed_ || job.sequence == delivered_; });
        }
        if (job.sequence == delivered_) deliverHeld(held);
        return !failed_;
    }

    // The job's reports are all in: the jobs after it may be delivered.
    void finish(const Job& job) {
        std::lock_guard lock(mutex_);
        waiting_.at(job.sequence).done = true;
        for (auto it = waiting_.begin(); !failed_ && it != waiting_.end() && it->first == delivered_;) {
            deliverHeld(it->second);
            if (!it->second.done) break;
            it = waiting_.erase(it);
            ++delivered_;
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

    const std::uint64_t jobWords_, lookahead_;
    const std::function<std::optional<Piece>()> nextPiece_;
    const std::function<void(const SegmentReport&)> deliver_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<Piece> piece_;
    std::uint64_t position_ = 0;
    bool exhausted_ = false;
    std::uint64_t next_ = 0, delivered_ = 0;
    // A job's reports not yet delivered, and whether it has sent its last.
    struct Held {
        std::vector<SegmentReport> reports;
        std::size_t tossed = 0;
        bool done = false;
    };
    // Delivers what `held`, the oldest undelivered job, holds.
    void deliverHeld(Held& held) {
        try {
            for (const SegmentReport& report : held.reports) {
                if (failed_) break;
                deliver_(report);
            }
        } catch (...) {
            failLocked(std::current_exception());
        }
        held.reports.clear();
        held.tossed = 0;
    }

    std::map<std::uint64_t, Held> waiting_;
    bool failed_ = false;
    std::exception_ptr error_;
};

// Tests a job's segments in order and hands each report to the scheduler.
void testJob(Segment& segment, const SurveyPlan& plan, const Job& job, std::uint64_t segmentWords,
             Scheduler& scheduler) {
    const std::uint64_t jobEnd = job.parts.back().endWord;
    for (const JobPart& part : job.parts) {
        for (std::uint64_t first = part.firstWord; first < part.endWord; first += segmentWords) {
            const std::uint64_t end = std::min(part.endWord, first + segmentWords);
            SegmentReport report = testSegment(segment, plan, first, end, jobEnd);
            report.piece = part.piece;
            report.endsPiece = part.endsPiece && end == part.endWord;
            if (!scheduler.report(job, std::move(report))) return;
        }
    }
}

}  // namespace

namespace {

// The shortest job below `to`: kJobNumbersPerSievingPrime numbers for every sieving
// prime a job finds and aims itself, those up to the square root and below 2^25 (the
// larger ones mark a short range once for all its jobs).
std::uint64_t shortestJobWords(std::uint64_t to) {
    const double root = std::min(std::sqrt(static_cast<double>(to)), static_cast<double>(kLargeSievingPrime));
    const double primes = root < 3 ? 1 : root / std::log(root);
    return static_cast<std::uint64_t>(primes * kJobNumbersPerSievingPrime / 128) + 1;
}

}  // namespace

std::uint64_t jobWordsFor(const SurveyPlan& plan) {
    const std::uint64_t segmentWords = plan.segmentOdds / 64;
    const Piece range = wholeRange(plan.from, plan.to);
    const std::uint64_t words = range.endWord - range.firstWord;
    const std::uint64_t threads = std::max(1u, plan.cpus == 0 ? plan.threads : std::min(plan.threads, plan.cpus));
    // As many jobs for every thread: with 9.3 jobs of the longest on [0, 10^10], one
    // thread took a fifth job while the other had a third of one, 7 % of the time.
    std::uint64_t jobs = std::max((words + kJobWords - 1) / kJobWords, threads * kJobsPerThread);
    jobs = (jobs + threads - 1) / threads * threads;
    // Far up, no more jobs than their set-up pays for: threads left without one idle.
    jobs = std::min(jobs, std::max<std::uint64_t>(1, words / shortestJobWords(plan.to)));
    const std::uint64_t share = (words + jobs - 1) / jobs;
    return std::clamp<std::uint64_t>(share, segmentWords, std::max(segmentWords, kJobWords));
}

Piece wholeRange(std::uint64_t from, std::uint64_t to) { return {0, wordOf(from), wordOf(to) + 1}; }

namespace {

// Makes `shared` with as many threads as there are cores, up to `threads`: more would
// only hold more marks waiting. A thread that cannot start leaves its share to the others.
void markTogether(SharedLargeMarks& shared, unsigned threads) {
    threads = std::min(threads, std::max(1u, std::thread::hardware_concurrency()));
    std::exception_ptr failure;
    std::mutex failureLock;
    const auto mark = [&] {
        try {
            shared.markShare();
        } catch (...) {
            const std::lock_guard lock(failureLock);
            if (!failure) failure = std::current_exception();
        }
    };
    {
        std::vector<std::jthread> helpers;
        for (unsigned t = 1; t < threads; ++t) {
            try {
                helpers.emplace_back(mark);
            } catch (const std::system_error&) {
                break;
            }
        }
        mark();
    }  // joins
    if (failure) std::rethrow_exception(failure);
}

}  // namespace

std::vector<ClassCounts> runSurvey(const SurveyPlan& plan, const std::function<void(const SegmentReport&)>& deliver) {
    std::vector<ClassCounts> buckets(plan.bucketEnds.size());
    const auto collect = [&](const SegmentReport& report) {
        for (const auto& [bucket, counts] : report.bucketCounts) buckets[bucket] += counts;
        deliver(report);
    };
    std::function<std::optional<Piece>()> nextPiece = plan.nextPiece;
    if (!nextPiece) {
        nextPiece = [piece = std::optional<Piece>(wholeRange(plan.from, plan.to))]() mutable {
            return std::exchange(piece, std::nullopt);
        };
    }
    const unsigned threads = std::max(1u, plan.threads);
    const std::uint64_t segmentWords = plan.segmentOdds / 64;
    Scheduler scheduler(jobWordsFor(plan), kLookaheadPerThread * threads, nextPiece, collect);
    const WheelPattern pattern;
    // Far up, a short range's large sieving primes are marked once for all threads
    // (a lone thread marks them for its one job, as any stream does).
    const Piece range = wholeRange(plan.from, plan.to);
    const std::unique_ptr<SharedLargeMarks> shared =
        threads > 1 ? Segment::largeMarksFor(range.firstWord, range.endWord, segmentWords) : nullptr;
    if (shared) markTogether(*shared, threads);
    // Made while there is memory: where a thread finds none, telling it must need none,
    // or the exception would end the program instead of the survey.
    const std::exception_ptr noMemory = std::make_exception_ptr(
        std::runtime_error("not enough memory for a worker thread's segment; give fewer --threads"));
    const auto work = [&] {
        try {
            // Made with the first job: a thread left without one holds no memory.
            std::optional<Segment> segment;
            for (Job job; scheduler.take(job);) {
                if (!segment) segment.emplace(pattern, segmentWords, *plan.sharps).shareLargeMarks(shared.get());
                testJob(*segment, plan, job, segmentWords, scheduler);
                scheduler.finish(job);
            }
        } catch (const std::bad_alloc&) {
            scheduler.fail(noMemory);
        } catch (...) {
            scheduler.fail(std::current_exception());
        }
    };
    // Stops the workers already started at once, not after the whole survey.
    const auto failToStart = [&](unsigned t, const std::system_error& failure) {
        try {
            scheduler.fail(std::make_exception_ptr(std::runtime_error(
                "cannot start worker thread " + std::to_string(t + 1) + " of " + std::to_string(threads) + ": " +
                failure.code().message() + "; give fewer --threads")));
        } catch (const std::bad_alloc&) {
            scheduler.fail(noMemory);
        }
    };
    std::vector<std::jthread> workers;
    for (unsigned t = 1; t < threads; ++t) {
        try {
            workers.emplace_back(work);
        } catch (const std::system_error& failure) {
            failToStart(t, failure);
            break;
        } catch (const std::bad_alloc&) {
            scheduler.fail(noMemory);
            break;
        }
    }
    work();
    workers.clear();  // joins
    scheduler.rethrowFailure();
    return buckets;
}

void listCandidates(std::uint64_t from, std::uint64_t to,
                    const std::function<void(std::uint64_t, CandidateClass)>& visit, std::uint64_t segmentOdds,
                    const SharpSet& sharps) {
    const Piece range = wholeRange(from, to);
    const std::uint64_t segmentWords = segmentOdds / 64;
    const WheelPattern pattern;
    Segment segment(pattern, segmentWords, sharps);
    for (std::uint64_t first = range.firstWord; first < range.endWord; first += segmentWords) {
        segment.test(first, std::min(range.endWord, first + segmentWords), range.endWord);
        segment.forEachCandidate(std::max(from, 128 * first), to, visit);
    }
}

}  // namespace sharp::survey
