#include "survey/program/wide_survey_program.hpp"

#include <chrono>
#include <cstdio>
#include <exception>

#include <unistd.h>

#include "survey/parallel/run_wide_window.hpp"
#include "survey/program/ending_signals.hpp"
#include "survey/program/output_file.hpp"
#include "survey/program/report.hpp"
#include "survey/program/table_stream.hpp"
#include "survey/program/status_line.hpp"
#include "survey/survey_constants.hpp"

namespace sharp::survey {

namespace {

std::string tossedSummary(const ClassCounts& c, const std::vector<WideTossed>& first) {
    const std::uint64_t total = c.tossedPrimes + c.tossedComposites;
    if (total == 0) return "tossed candidates: none\n";
    std::string shown;
    for (const WideTossed& t : first) shown += "  " + tossedLine(t.value, t.prime);
    return "tossed candidates: " + std::to_string(total) + ", " + std::to_string(c.tossedPrimes) +
           " of them prime; the first " + std::to_string(first.size()) + ":\n" + shown;
}

}  // namespace

int runWideSurveyProgram(const SurveyRequest& request) {
    if (!request.csvPath.empty() || !request.statePath.empty() || !request.expectedPath.empty() || request.modelOnly) {
        return failWith("past 2^64 a survey takes --tossed, --sharps and --threads: --csv, --state, --expected "
                        "and --model-only are for ranges below it, and --heights for windows above it",
                        kExitBadInput);
    }
    if (request.wideFrom < kWideFirstNumber) {
        return failWith("a range past 2^64 starts at --from 2^32 or above: below it, survey up to 2^64-1",
                        kExitBadInput);
    }
    OutputFile tossed;
    std::string error;
    if (!request.tossedPath.empty() && !tossed.open(request.tossedPath, error)) return failWith(error, kExitBadInput);
    std::FILE* const table = tableStream(tossed.isStandardOutput());
    if (auto refusal = tableRefusal(table)) return failWith(*refusal, kExitBadInput);

    setEndingNote(interruptedNote("", nullptr) + " and nothing is kept");
    StatusLine status(!request.quiet && isatty(STDERR_FILENO), static_cast<double>(request.wideTo - request.wideFrom) + 1);
    ClassCounts counts;
    std::vector<WideTossed> first;
    double done = 0;
    const auto start = std::chrono::steady_clock::now();
    try {
        runWideWindow(request.wideFrom, request.wideTo, request.sharpSet(), request.threads,
                      [&](const WideReport& report) {
                          counts += report.counts;
                          for (const WideTossed& t : report.tossed) {
                              if (tossed.isOpen()) tossed.write(tossedLine(t.value, t.prime));
                              if (first.size() < kTossedShown) first.push_back(t);
                          }
                          done += static_cast<double>(report.last - report.first) + 1;
                          status.update(done, counts.candidates);
                      });
    } catch (const std::exception& failure) {
        status.finish();
        return failWith(failure.what(), kExitFailed);
    }
    status.finish();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    int exitStatus = 0;
    if (tossed.isOpen() && !tossed.commit(error)) exitStatus = failWith(error, kExitFailed);
    const std::string rows = formatTableHeading(kWideColumn) + formatTableRow(decimal(request.wideTo), kWideColumn, counts);
    std::fputs(rows.c_str(), table);
    std::fprintf(table, "time: %.3f s\n", seconds);
    std::fputs(tossedSummary(counts, first).c_str(), table);
    std::fputs(kProbablePrimeNote, table);
    const int tableStatus = flushed(table);
    return exitStatus != 0 ? exitStatus : tableStatus;
}

}  // namespace sharp::survey
