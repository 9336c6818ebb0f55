#include "survey/program/survey_program.hpp"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <optional>
#include <span>

#include <unistd.h>

#include "survey/ledger/checkpoints.hpp"
#include "survey/ledger/slice_book.hpp"
#include "survey/ledger/slices.hpp"
#include "survey/ledger/state_file.hpp"
#include "survey/model/tossed_model.hpp"
#include "survey/program/ending_signals.hpp"
#include "survey/program/output_file.hpp"
#include "survey/program/report.hpp"
#include "survey/program/sharps_file.hpp"
#include "survey/program/table_stream.hpp"
#include "survey/program/status_line.hpp"
#include "survey/survey_constants.hpp"

namespace sharp::survey {

namespace {

std::string tossedSummary(const SliceBook& book, const std::vector<ClassCounts>& buckets) {
    std::uint64_t total = 0, primes = 0;
    for (const ClassCounts& c : buckets) {
        total += c.tossedPrimes + c.tossedComposites;
        primes += c.tossedPrimes;
    }
    if (total == 0) return "tossed candidates: none\n";
    const std::vector<TossedCandidate> first = book.firstTossed(kTossedShown);
    std::string shown;
    for (const TossedCandidate& tossed : first) shown += "  " + tossedLine(tossed);
    return "tossed candidates: " + std::to_string(total) + ", " + std::to_string(primes) + " of them prime; the first " +
           std::to_string(first.size()) + ":\n" + shown;
}

// The files a survey writes besides its table.
struct Outputs {
    OutputFile csv, tossed, expected;

    // Opens each named one: the refusal's line, or nothing.
    std::optional<std::string> open(const SurveyRequest& request) {
        std::string error;
        const std::pair<OutputFile*, const std::string*> named[] = {
            {&csv, &request.csvPath}, {&tossed, &request.tossedPath}, {&expected, &request.expectedPath}};
        for (const auto& [file, path] : named) {
            if (!path->empty() && !file->open(*path, error)) return error;
        }
        return std::nullopt;
    }
    std::FILE* table() const {
        return tableStream(csv.isStandardOutput() || tossed.isStandardOutput() || expected.isStandardOutput());
    }
};

// Completes `file`, if named: 0, or the failure's line and status 1.
int committed(OutputFile& file) {
    std::string error;
    if (!file.isOpen() || file.commit(error)) return 0;
    return failWith(error, kExitFailed);
}

// Writes the --expected file, if asked for: 0, or the failure's line and status 1.
int writeExpected(OutputFile& expectedFile, const std::vector<Checkpoint>& checkpoints,
                  const std::vector<ExpectedTossed>& expected) {
    if (!expectedFile.isOpen()) return 0;
    expectedFile.write(formatExpectedCsv(checkpoints, expected));
    return committed(expectedFile);
}

// The model's expectation at the plan's buckets, its progress on the status line.
std::vector<ExpectedTossed> expectedWithStatus(const SurveyRequest& request, const SurveyPlan& plan) {
    StatusLine status(!request.quiet && isatty(STDERR_FILENO), 1, 0, "drawing the model of chance");
    ModelSettings settings;
    settings.progress = [&](double share) { status.update(share); };
    std::vector<ExpectedTossed> expected =
        expectTossed(request.from, plan.bucketEnds, std::span<const Uint128>(request.sharpSet().all()), settings);
    status.finish();
    return expected;
}

// --model-only: the --expected file, then the expectation at the table's rows.
int runModelOnly(const SurveyRequest& request, const std::vector<Checkpoint>& checkpoints, const SurveyPlan& plan) {
    Outputs outputs;
    if (auto refusal = outputs.open(request)) return failWith(*refusal, kExitBadInput);
    if (auto refusal = tableRefusal(outputs.table())) return failWith(*refusal, kExitBadInput);
    setEndingNote(interruptedNote(request.statePath, nullptr));
    const std::vector<ExpectedTossed> expected = expectedWithStatus(request, plan);
    const int fileStatus = writeExpected(outputs.expected, checkpoints, expected);
    std::FILE* const table = outputs.table();
    std::fputs(formatExpectedTable(checkpoints, expected).c_str(), table);
    const int tableStatus = flushed(table);
    return fileStatus != 0 ? fileStatus : tableStatus;
}

// Writes the files, then the table last: a table that cannot be written loses no file.
int writeResults(const SurveyRequest& request, Outputs& outputs, const SliceBook& book,
                 const std::vector<Checkpoint>& checkpoints, const std::vector<ExpectedTossed>& expected,
                 const std::string& timeLine) {
    const std::vector<ClassCounts> buckets = book.bucketCounts();
    const std::vector<ClassCounts> cumulative = cumulativeCounts(buckets);
    int status = 0;
    const auto keepFirst = [&](int result) {
        if (status == 0) status = result;
    };
    if (outputs.csv.isOpen()) {
        outputs.csv.write(formatCsv(checkpoints, cumulative));
        keepFirst(committed(outputs.csv));
    }
    if (outputs.tossed.isOpen()) {
        // Kept in the record file, the list is read back now; else it went on as found.
        if (book.keepsTossed()) {
            book.forEachTossed([&](const TossedCandidate& tossed) { outputs.tossed.write(tossedLine(tossed)); });
        }
        keepFirst(committed(outputs.tossed));
    }
    keepFirst(writeExpected(outputs.expected, checkpoints, expected));
    std::FILE* const table = outputs.table();
    std::fputs(formatTable(checkpoints, cumulative).c_str(), table);
    std::fputs(timeLine.c_str(), table);
    std::fputs(tossedSummary(book, buckets).c_str(), table);
    if (!expected.empty()) std::fputs(formatComparisonTable(request.from, checkpoints, buckets, expected).c_str(), table);
    keepFirst(flushed(table));
    return status;
}

}  // namespace

std::string surveyIdentity(const SurveyRequest& request) {
    const SurveyPlan plan = planSurvey(request.from, request.to, request.threads, request.cpus);
    std::string identity = stateHeader(request.from, request.to, SliceLayout::forRange(request.from, request.to),
                                       plan.bucketEnds);
    identity += " sharp-survey " SHARP_VERSION " " __VERSION__ " sharps";
    const std::span<const Uint128> beyond = request.sharpSet().beyond();
    for (auto s = beyond.rbegin(); s != beyond.rend(); ++s) {
        identity += ' ';
        identity += decimal(*s);
    }
    const std::span<const std::uint64_t> sharps = request.sharpSet().ascending();
    for (auto s = sharps.rbegin(); s != sharps.rend(); ++s) {
        identity += ' ';  // appended piece by piece: GCC 12 warns falsely on " " + std::string
        identity += std::to_string(*s);
    }
    return checksumOf(identity);
}

int runSurveyProgram(const SurveyRequest& request, const SliceSharing& sharing) {
    const std::vector<Checkpoint> checkpoints = planCheckpoints(request.from, request.to);
    SurveyPlan plan = planSurvey(request.from, request.to, request.threads, request.cpus);
    plan.sharps = &request.sharpSet();
    if (request.modelOnly) return runModelOnly(request, checkpoints, plan);
    const SliceLayout slices = SliceLayout::forRange(request.from, request.to);
    SliceBook book(plan, slices);
    const TossedKept asked = request.tossedPath.empty() ? TossedKept::first : TossedKept::all;
    std::optional<StateFile> state;
    std::optional<RecordLog> scratch;
    try {
        if (!request.statePath.empty()) {
            const auto header = [&](TossedKept kept) {
                return stateHeader(request.from, request.to, slices, plan.bucketEnds, sharpsDigest(request.sharpSet()),
                                   kept);
            };
            const std::string former = request.sharpSet().isBuiltIn()
                                           ? formerStateHeader(request.from, request.to, slices, plan.bucketEnds.size())
                                           : std::string();
            state.emplace(
                request.statePath, stateHeadersFor(asked, header, former),
                [&](std::size_t index) { book.setKept(keptByHeader(asked, index)); },
                [&](const SliceRecord& record) { return book.misfit(record); },
                [&](const SliceRecord& record, LineSpan span) { book.recordLoaded(record, span); });
            for (const std::string& note : state->notes()) std::fprintf(stderr, "sharp-survey: %s\n", note.c_str());
            book.keepIn(state->log());
        } else if (asked == TossedKept::all && sharing.serve) {
            // Other ranks' slices come in any order: their lists wait beside the tossed file.
            book.setKept(TossedKept::all);
            book.keepIn(scratch.emplace(RecordLog::scratchBeside(request.tossedPath)));
        }
    } catch (const StateError& refusal) {
        return failWith(refusal.what(), kExitBadInput);
    }
    // Opened only once the state file's lock is held: a second survey of the same
    // state is refused before it touches the first one's outputs.
    Outputs outputs;
    std::optional<std::string> refusal = outputs.open(request);
    if (!refusal) refusal = tableRefusal(outputs.table());
    if (refusal) {
        if (state) state->removeIfCreated();
        return failWith(*refusal, kExitBadInput);
    }
    // A lone process with no record file sees its slices in order: the list goes
    // straight into the tossed file, held nowhere.
    if (outputs.tossed.isOpen() && !book.keepsTossed()) {
        book.streamTossedTo([&](const TossedCandidate& tossed) { outputs.tossed.write(tossedLine(tossed)); });
    }
    setEndingNote(interruptedNote(request.statePath, "slices"));
    const double alreadyDone = book.recordedNumbers();
    StatusLine status(!request.quiet && isatty(STDERR_FILENO), static_cast<double>(request.to - request.from) + 1,
                      alreadyDone);
    double sliceInProgress = 0;  // numbers of this process's slice not yet recorded
    std::uint64_t candidatesDone = 0;
    const auto start = std::chrono::steady_clock::now();
    try {
        const ServiceStop stopService(sharing);
        if (sharing.serve) sharing.serve(book);
        runSlices(plan, book, [&](const SegmentReport& report) {
            for (const auto& [bucket, counts] : report.bucketCounts) candidatesDone += counts.candidates;
            sliceInProgress = report.endsPiece ? 0 : sliceInProgress + static_cast<double>(report.last - report.first) + 1;
            status.update(book.recordedNumbers() + sliceInProgress, candidatesDone);
        });
        if (sharing.awaitOthers) sharing.awaitOthers();
    } catch (const std::exception& failure) {
        status.finish();
        return failWith(failure.what(), kExitFailed);
    }
    status.finish();
    const auto surveyed = std::chrono::steady_clock::now();
    const double seconds = std::chrono::duration<double>(surveyed - start).count();
    try {
        std::vector<ExpectedTossed> expected;
        char timeLine[96];
        std::snprintf(timeLine, sizeof timeLine, "time: %.3f s\n", seconds);
        if (outputs.expected.isOpen()) {
            expected = expectedWithStatus(request, plan);
            const double model = std::chrono::duration<double>(std::chrono::steady_clock::now() - surveyed).count();
            std::snprintf(timeLine, sizeof timeLine, "time: %.3f s (survey %.3f s, model of chance %.3f s)\n",
                          seconds + model, seconds, model);
        }
        return writeResults(request, outputs, book, checkpoints, expected, timeLine);
    } catch (const std::exception& failure) {
        return failWith(failure.what(), kExitFailed);
    }
}

}  // namespace sharp::survey
