#include "survey/program/survey_program.hpp"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <optional>

#include <unistd.h>

#include "sharp/sharp_table.hpp"
#include "survey/ledger/checkpoints.hpp"
#include "survey/ledger/slice_book.hpp"
#include "survey/ledger/slices.hpp"
#include "survey/ledger/state_file.hpp"
#include "survey/model/tossed_model.hpp"
#include "survey/program/output_file.hpp"
#include "survey/program/report.hpp"
#include "survey/program/status_line.hpp"
#include "survey/survey_constants.hpp"

namespace sharp::survey {

namespace {

int failWith(const std::string& message, int status) {
    std::fprintf(stderr, "sharp-survey: %s\n", message.c_str());
    return status;
}

std::string tossedSummary(const SliceBook& book, const std::vector<ClassCounts>& buckets) {
    std::uint64_t total = 0, primes = 0;
    for (const ClassCounts& c : buckets) {
        total += c.tossedPrimes + c.tossedComposites;
        primes += c.tossedPrimes;
    }
    if (total == 0) return "tossed candidates: none\n";
    std::string shown;
    std::uint64_t listed = 0;
    book.forEachTossed([&](const TossedCandidate& tossed) {
        shown += "  " + tossedLine(tossed);
        return ++listed < kTossedShown;
    });
    return "tossed candidates: " + std::to_string(total) + ", " + std::to_string(primes) + " of them prime; the first " +
           std::to_string(listed) + ":\n" + shown;
}

// Stops the other ranks' service however the survey ends, before the ledger it uses goes.
class ServiceStop {
public:
    explicit ServiceStop(const SliceSharing& sharing) : sharing_(sharing) {}
    ~ServiceStop() {
        if (sharing_.stop) sharing_.stop();
    }
    ServiceStop(const ServiceStop&) = delete;
    ServiceStop& operator=(const ServiceStop&) = delete;

private:
    const SliceSharing& sharing_;
};

// Where the table goes: standard output, unless a file option took it.
std::FILE* tableStream(const OutputFile& csv, const OutputFile& tossed, const OutputFile& expected) {
    return csv.isStandardOutput() || tossed.isStandardOutput() || expected.isStandardOutput() ? stderr : stdout;
}

// Prints a failed write's one line and returns status 1, or 0 when `stream` took everything.
int flushed(std::FILE* stream) {
    if (std::fflush(stream) == 0 && !std::ferror(stream)) return 0;
    const int cause = errno;
    return failWith(std::string("cannot write the table to ") + (stream == stdout ? "standard output" : "standard error") +
                        ": " + std::strerror(cause),
                    kExitFailed);
}

// Writes the --expected file, if asked for: 0, or the failure's line and status 1.
int writeExpected(OutputFile& expectedFile, const std::vector<Checkpoint>& checkpoints,
                  const std::vector<ExpectedTossed>& expected) {
    if (!expectedFile.isOpen()) return 0;
    expectedFile.write(formatExpectedCsv(checkpoints, expected));
    std::string error;
    return expectedFile.commit(error) ? 0 : failWith(error, kExitFailed);
}

// --model-only: the expectation at the table's rows, and the --expected file.
int writeModelOnly(const std::vector<Checkpoint>& checkpoints, const SurveyPlan& plan, std::FILE* table,
                   OutputFile& expectedFile) {
    const std::vector<ExpectedTossed> expected = expectTossed(plan.from, plan.bucketEnds, kSharpsAscending);
    std::fputs(formatExpectedTable(checkpoints, expected).c_str(), table);
    if (const int status = flushed(table)) return status;
    return writeExpected(expectedFile, checkpoints, expected);
}

}  // namespace

std::string surveyIdentity(const SurveyRequest& request) {
    const SurveyPlan plan = planSurvey(request.from, request.to, request.threads);
    std::string identity = stateHeader(request.from, request.to, SliceLayout::forRange(request.from, request.to),
                                       plan.bucketEnds);
    identity += " sharp-survey " SHARP_VERSION " " __VERSION__ " sharps";
    for (const std::uint32_t s : kSharpNumbers) {
        identity += ' ';  // appended piece by piece: GCC 12 warns falsely on " " + std::string
        identity += std::to_string(s);
    }
    return checksumOf(identity);
}

int runSurveyProgram(const SurveyRequest& request, const SliceSharing& sharing) {
    OutputFile csv, tossedFile, expectedFile;
    std::string error;
    const std::pair<OutputFile*, const std::string*> outputs[] = {
        {&csv, &request.csvPath}, {&tossedFile, &request.tossedPath}, {&expectedFile, &request.expectedPath}};
    for (const auto& [file, path] : outputs) {
        if (!path->empty() && !file->open(*path, error)) return failWith(error, kExitBadInput);
    }
    const std::vector<Checkpoint> checkpoints = planCheckpoints(request.from, request.to);
    const SurveyPlan plan = planSurvey(request.from, request.to, request.threads);
    if (request.modelOnly) return writeModelOnly(checkpoints, plan, tableStream(csv, tossedFile, expectedFile), expectedFile);
    const SliceLayout slices = SliceLayout::forRange(request.from, request.to);
    SliceBook book(plan, slices);
    std::optional<StateFile> state;
    std::optional<RecordLog> scratch;
    try {
        if (!request.statePath.empty()) {
            state.emplace(
                request.statePath, stateHeader(request.from, request.to, slices, plan.bucketEnds),
                formerStateHeader(request.from, request.to, slices, plan.bucketEnds.size()),
                [&](const SliceRecord& record) { return book.misfit(record); },
                [&](const SliceRecord& record, LineSpan span) { book.recordLoaded(record, span); });
            for (const std::string& note : state->notes()) std::fprintf(stderr, "sharp-survey: %s\n", note.c_str());
            book.keepIn(state->log());
        } else {
            book.keepIn(scratch.emplace(RecordLog::scratch()));
        }
    } catch (const StateError& refusal) {
        return failWith(refusal.what(), kExitBadInput);
    }

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
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    std::FILE* const table = tableStream(csv, tossedFile, expectedFile);
    try {
        const std::vector<ClassCounts> buckets = book.bucketCounts();
        const std::vector<ClassCounts> cumulative = cumulativeCounts(buckets);
        std::fputs(formatTable(checkpoints, cumulative).c_str(), table);
        std::fprintf(table, "time: %.3f s\n", seconds);
        std::fputs(tossedSummary(book, buckets).c_str(), table);
        if (const int status = flushed(table)) return status;
        int exitStatus = 0;
        if (csv.isOpen()) {
            csv.write(formatCsv(checkpoints, cumulative));
            if (!csv.commit(error)) exitStatus = failWith(error, kExitFailed);
        }
        if (tossedFile.isOpen()) {
            book.forEachTossed([&](const TossedCandidate& tossed) {
                tossedFile.write(tossedLine(tossed));
                return true;
            });
            if (!tossedFile.commit(error)) exitStatus = failWith(error, kExitFailed);
        }
        if (expectedFile.isOpen()) {
            const int status = writeExpected(expectedFile, checkpoints, expectTossed(request.from, plan.bucketEnds, kSharpsAscending));
            if (status != 0) exitStatus = status;
        }
        return exitStatus;
    } catch (const std::exception& failure) {
        return failWith(failure.what(), kExitFailed);
    }
}

}  // namespace sharp::survey
