// The survey over a range: segments handed to worker threads from a shared counter,
// their reports delivered in ascending order, counts kept per bucket of the range.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "survey/check/class_counts.hpp"
#include "survey/check/sharp_set.hpp"
#include "survey/survey_constants.hpp"

namespace sharp::survey {

// A part of the range handed to the workers at once: the words first .. end - 1
// (word w holds the odd numbers 128 w + 1 .. 128 w + 127), cut into segments.
struct Piece {
    std::uint64_t id;
    std::uint64_t firstWord, endWord;
};

// What one segment found: its part of the range, its counts per bucket and its
// tossed candidates in ascending order.
struct SegmentReport {
    std::uint64_t first = 0, last = 0;
    std::uint64_t piece = 0;  // the id of its piece
    bool endsPiece = false;   // the last segment of its piece
    std::vector<std::pair<std::size_t, ClassCounts>> bucketCounts;
    std::vector<TossedCandidate> tossed;
};

struct SurveyPlan {
    std::uint64_t from, to;
    // Ascending, the last one `to`: bucket b counts the candidates above bucketEnds[b - 1]
    // (from `from` for b = 0) up to bucketEnds[b].
    std::vector<std::uint64_t> bucketEnds;
    unsigned threads;
    // The CPUs the threads share (0: one each). Work is cut for the threads that can
    // run at once: a job more than those is a set-up more, and no faster.
    unsigned cpus = 0;
    // The sharp numbers tested against; it outlives the survey.
    const SharpSet* sharps = &SharpSet::builtIn();
    // Odd numbers per segment, a multiple of 64: the default suits the caches; tests
    // make it small to put segment boundaries everywhere.
    std::uint64_t segmentOdds = kSegmentOdds;
    // Where the work comes from, called on one thread at a time whenever the workers
    // need more; nothing means the survey is done. Unset: the whole range, one piece.
    std::function<std::optional<Piece>()> nextPiece;
};

// The words that hold the numbers from..to.
Piece wholeRange(std::uint64_t from, std::uint64_t to);

// The odd-number words of a job, the work a thread takes at once: a thread's share
// of the range, kJobWords at most, a segment at least.
std::uint64_t jobWordsFor(const SurveyPlan& plan);

// Tests every candidate c with from <= c <= to in the pieces of the plan. `deliver`
// sees each segment's report in the order the pieces came and ascending within a
// piece, one at a time, whatever thread finished it. Returns the counts of each
// bucket. An exception in a worker or a callback stops the survey and is rethrown here.
std::vector<ClassCounts> runSurvey(const SurveyPlan& plan, const std::function<void(const SegmentReport&)>& deliver);

// Calls visit(c, cls) for every candidate c with from <= c <= to, in ascending order,
// on the calling thread: the survey's verdicts one by one, for checks and listings.
void listCandidates(std::uint64_t from, std::uint64_t to,
                    const std::function<void(std::uint64_t, CandidateClass)>& visit,
                    std::uint64_t segmentOdds = kSegmentOdds, const SharpSet& sharps = SharpSet::builtIn());

}  // namespace sharp::survey
