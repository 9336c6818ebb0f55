#include "survey/program/survey_program.hpp"

#include <chrono>
#include <cstdio>
#include <exception>
#include <mutex>
#include <optional>

#include <unistd.h>

#include "survey/ledger/checkpoints.hpp"
#include "survey/program/report.hpp"
#include "survey/ledger/slices.hpp"
#include "survey/ledger/state_file.hpp"
#include "survey/program/status_line.hpp"
#include "survey/parallel/run_survey.hpp"
#include "survey/survey_constants.hpp"

namespace sharp::survey {

namespace {

int failWith(const std::string& message, int status) {
    std::fprintf(stderr, "sharp-survey: %s\n", message.c_str());
    return status;
}

// Every slice's record, as loaded from the state file or found since; the outputs
// are summed from them in slice order, whichever way and in whatever order they came.
// It hands out the slices still missing and records each finished one in the state
// file first; calls may come from any thread.
class SliceBook : public SliceExchange {
public:
    SliceBook(const SliceLayout& layout, StateFile* state) : layout_(layout), state_(state), records_(layout.count) {}

    void store(SliceRecord record) { records_[record.slice] = std::move(record); }

    std::optional<Piece> next() override {
        std::lock_guard lock(mutex_);
        while (cursor_ < layout_.count && records_[cursor_]) ++cursor_;
        if (cursor_ == layout_.count) return std::nullopt;
        return layout_.piece(cursor_++);
    }

    void finished(SliceRecord record) override {
        std::lock_guard lock(mutex_);
        if (state_) state_->append(record);
        store(std::move(record));
    }

    std::vector<ClassCounts> bucketCounts(std::size_t buckets) const {
        std::vector<ClassCounts> counts(buckets);
        for (const auto& record : records_) {
            for (const auto& [bucket, c] : record->bucketCounts) counts[bucket] += c;
        }
        return counts;
    }

    template <class Visit>
    void forEachTossed(Visit&& visit) const {
        for (const auto& record : records_) {
            for (const TossedCandidate& tossed : record->tossed) visit(tossed);
        }
    }

private:
    const SliceLayout& layout_;
    StateFile* const state_;
    std::mutex mutex_;
    std::vector<std::optional<SliceRecord>> records_;
    std::uint64_t cursor_ = 0;
};

std::string tossedSummary(const SliceBook& book) {
    std::uint64_t total = 0, primes = 0;
    std::string shown;
    book.forEachTossed([&](const TossedCandidate& tossed) {
        if (total++ < kTossedShown) shown += "  " + tossedLine(tossed);
        primes += tossed.prime;
    });
    if (total == 0) return "tossed candidates: none\n";
    return "tossed candidates: " + std::to_string(total) + ", " + std::to_string(primes) + " of them prime; the first " +
           std::to_string(std::min<std::uint64_t>(total, kTossedShown)) + ":\n" + shown;
}

}  // namespace

int runSurveyProgram(const SurveyRequest& request, const SliceSharing& sharing) {
    OutputFile csv, tossedFile;
    std::string error;
    if (!request.csvPath.empty() && !csv.open(request.csvPath, error)) return failWith(error, kExitBadInput);
    if (!request.tossedPath.empty() && !tossedFile.open(request.tossedPath, error)) {
        return failWith(error, kExitBadInput);
    }
    const std::vector<Checkpoint> checkpoints = planCheckpoints(request.from, request.to);
    const SurveyPlan plan = planSurvey(request.from, request.to, request.threads);
    const SliceLayout slices = SliceLayout::forRange(request.from, request.to);
    std::optional<StateFile> state;
    if (!request.statePath.empty()) {
        try {
            state.emplace(request.statePath, stateHeader(request.from, request.to, slices, checkpoints.size()),
                          slices.count, checkpoints.size());
        } catch (const StateError& refusal) {
            return failWith(refusal.what(), kExitBadInput);
        }
        for (const std::string& note : state->notes()) std::fprintf(stderr, "sharp-survey: %s\n", note.c_str());
    }
    SliceBook book(slices, state ? &*state : nullptr);
    if (state) {
        for (const SliceRecord& record : state->loaded()) book.store(record);
    }

    StatusLine status(!request.quiet && isatty(STDERR_FILENO), static_cast<double>(request.to - request.from) + 1);
    double numbersDone = 0;
    std::uint64_t candidatesDone = 0;
    const auto start = std::chrono::steady_clock::now();
    try {
        if (sharing.serve) sharing.serve(book);
        runSlices(plan, book, [&](const SegmentReport& report) {
            for (const auto& [bucket, counts] : report.bucketCounts) candidatesDone += counts.candidates;
            numbersDone += static_cast<double>(report.last - report.first) + 1;
            status.update(numbersDone, candidatesDone);
        });
        if (sharing.awaitOthers) sharing.awaitOthers();
    } catch (const std::exception& failure) {
        status.finish();
        return failWith(failure.what(), kExitFailed);
    }
    status.finish();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    const std::vector<ClassCounts> cumulative = cumulativeCounts(book.bucketCounts(checkpoints.size()));
    std::fputs(formatTable(checkpoints, cumulative).c_str(), stdout);
    std::printf("time: %.3f s\n", seconds);
    std::fputs(tossedSummary(book).c_str(), stdout);
    std::fflush(stdout);

    int exitStatus = 0;
    if (csv.isOpen()) {
        csv.write(formatCsv(checkpoints, cumulative));
        if (!csv.commit(error)) exitStatus = failWith(error, kExitFailed);
    }
    if (tossedFile.isOpen()) {
        book.forEachTossed([&](const TossedCandidate& tossed) { tossedFile.write(tossedLine(tossed)); });
        if (!tossedFile.commit(error)) exitStatus = failWith(error, kExitFailed);
    }
    return exitStatus;
}

}  // namespace sharp::survey
