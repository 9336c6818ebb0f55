#include "survey/app.hpp"

#include <chrono>
#include <cstdio>
#include <exception>

#include <unistd.h>

#include "survey/checkpoints.hpp"
#include "survey/report.hpp"
#include "survey/status_line.hpp"
#include "survey/survey.hpp"
#include "survey/survey_constants.hpp"

namespace sharp::survey {

namespace {

int failWith(const std::string& message, int status) {
    std::fprintf(stderr, "sharp-survey: %s\n", message.c_str());
    return status;
}

// The tossed candidates as the survey delivers them: every one to the file, the
// first few kept for standard output.
struct TossedTally {
    std::vector<TossedCandidate> first;
    std::uint64_t total = 0, primes = 0;

    void add(const TossedCandidate& tossed, OutputFile& file) {
        if (first.size() < kTossedShown) first.push_back(tossed);
        ++total;
        primes += tossed.prime;
        if (file.isOpen()) file.write(tossedLine(tossed));
    }

    std::string summary() const {
        if (total == 0) return "tossed candidates: none\n";
        std::string text = "tossed candidates: " + std::to_string(total) + ", " + std::to_string(primes) +
                           " of them prime; the first " + std::to_string(first.size()) + ":\n";
        for (const TossedCandidate& tossed : first) text += "  " + tossedLine(tossed);
        return text;
    }
};

}  // namespace

int runSurveyProgram(const SurveyRequest& request) {
    OutputFile csv, tossedFile;
    std::string error;
    if (!request.csvPath.empty() && !csv.open(request.csvPath, error)) return failWith(error, kExitBadInput);
    if (!request.tossedPath.empty() && !tossedFile.open(request.tossedPath, error)) {
        return failWith(error, kExitBadInput);
    }
    const std::vector<Checkpoint> checkpoints = planCheckpoints(request.from, request.to);
    SurveyPlan plan{request.from, request.to, {}, request.threads};
    for (const Checkpoint& checkpoint : checkpoints) plan.bucketEnds.push_back(checkpoint.value);

    StatusLine status(!request.quiet && isatty(STDERR_FILENO), request.from, request.to);
    TossedTally tossed;
    std::uint64_t candidatesSoFar = 0;
    const auto start = std::chrono::steady_clock::now();
    std::vector<ClassCounts> buckets;
    try {
        buckets = runSurvey(plan, [&](const SegmentReport& report) {
            for (const TossedCandidate& candidate : report.tossed) tossed.add(candidate, tossedFile);
            for (const auto& [bucket, counts] : report.bucketCounts) candidatesSoFar += counts.candidates;
            status.update(report.last, candidatesSoFar);
        });
    } catch (const std::exception& failure) {
        status.finish();
        return failWith(failure.what(), kExitFailed);
    }
    status.finish();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    const std::vector<ClassCounts> cumulative = cumulativeCounts(buckets);
    std::fputs(formatTable(checkpoints, cumulative).c_str(), stdout);
    std::printf("time: %.3f s\n", seconds);
    std::fputs(tossed.summary().c_str(), stdout);
    std::fflush(stdout);

    int status_code = 0;
    if (csv.isOpen()) {
        csv.write(formatCsv(checkpoints, cumulative));
        if (!csv.commit(error)) status_code = failWith(error, kExitFailed);
    }
    if (tossedFile.isOpen() && !tossedFile.commit(error)) status_code = failWith(error, kExitFailed);
    return status_code;
}

}  // namespace sharp::survey
