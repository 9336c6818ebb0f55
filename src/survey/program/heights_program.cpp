#include "survey/program/heights_program.hpp"

#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include <malloc.h>
#include <unistd.h>

#include "survey/ledger/record_log.hpp"
#include "survey/ledger/slices.hpp"
#include "survey/ledger/state_file.hpp"
#include "survey/ledger/windows.hpp"
#include "survey/program/output_file.hpp"
#include "survey/program/report.hpp"
#include "survey/program/sharps_file.hpp"
#include "survey/program/table_stream.hpp"
#include "survey/program/status_line.hpp"
#include "survey/survey_constants.hpp"

namespace sharp::survey {

namespace {

// Blocks from this size on are mapped and unmapped, not kept on the heap: 1 MiB.
constexpr int kWindowMapThreshold = 1 << 20;

// The header of a heights survey's state file: the range, the width and the number
// of its windows, the digest of a table other than the 79, with a checksum. A record
// is a slice record whose slice is the window.
std::string heightsHeader(const SurveyRequest& request, std::size_t windows) {
    std::string body = "sharp-survey heights 1 from=" + std::to_string(request.from) +
                       " to=" + std::to_string(request.to) + " window=" + std::to_string(request.windowWidth) +
                       " windows=" + std::to_string(windows);
    if (const std::string digest = sharpsDigest(request.sharpSet()); !digest.empty()) body += " sharps=" + digest;
    return body + " #" + checksumOf(body);
}

// What is wrong with `record` as the record of a window, or nothing.
std::optional<std::string> windowMisfit(const SliceRecord& record, const std::vector<Window>& windows) {
    if (record.slice >= windows.size()) return "window " + std::to_string(record.slice) + " is not this survey's";
    if (record.bucketCounts.size() != 1 || record.bucketCounts[0].first != 0) return "not one count per window";
    const Window& w = windows[record.slice];
    const ClassCounts& c = record.bucketCounts[0].second;
    std::uint64_t primes = 0, previous = 0;
    for (const TossedCandidate& t : record.tossed) {
        if (t.value < w.from || t.value > w.to || t.value <= previous) return std::string("tossed candidates out of order");
        previous = t.value;
        primes += t.prime;
    }
    if (c.hits != c.truePrimes + c.falsePrimes || c.candidates != c.hits + c.tossedPrimes + c.tossedComposites ||
        c.tossedPrimes != primes || c.tossedComposites != record.tossed.size() - primes) {
        return std::string("counts that do not add up");
    }
    return std::nullopt;
}

// Surveys `window` whole on the request's threads with its sharp numbers: its record as window `index`.
SliceRecord surveyWindow(const Window& window, std::size_t index, const SurveyRequest& request,
                         const std::function<void(const SegmentReport&)>& progress) {
    SurveyPlan plan;
    plan.from = window.from;
    plan.to = window.to;
    plan.bucketEnds = {window.to};
    plan.threads = request.threads;
    plan.cpus = request.cpus;
    plan.sharps = &request.sharpSet();
    SliceRecord record;
    record.slice = index;
    runSurvey(plan, [&](const SegmentReport& report) {
        record.add(report);
        progress(report);
    });
    ClassCounts total;
    for (const auto& [bucket, counts] : record.bucketCounts) total += counts;
    record.bucketCounts = {{0, total}};
    return record;
}

// Where each window's record stands in the log, once it is there.
struct Recorded {
    std::vector<std::optional<LineSpan>> line;
    std::vector<ClassCounts> counts;
};

// The model's expectation for each window.
std::vector<ExpectedTossed> expectedIn(const std::vector<Window>& windows, const SharpSet& sharps) {
    std::vector<std::pair<std::uint64_t, std::uint64_t>> spans;
    for (const Window& w : windows) spans.emplace_back(w.from, w.to);
    return expectTossedInWindows(spans, sharps.ascending());
}

// --model-only: the expectation for every window, one row each.
int printModelOnly(const std::vector<Window>& windows, const SharpSet& sharps) {
    const std::vector<ExpectedTossed> expected = expectedIn(windows, sharps);
    std::string table;
    char row[160];
    std::snprintf(row, sizeof row, "%20s %20s %28s %28s\n", "from", "to", "expected tossed primes",
                  "expected tossed composites");
    table += row;
    for (std::size_t i = 0; i < windows.size(); ++i) {
        const Window& w = windows[i];
        const ExpectedTossed& e = expected[i];
        std::snprintf(row, sizeof row, "%20llu %20llu %17.4f +- %7.4f %17.4f +- %7.4f\n",
                      static_cast<unsigned long long>(w.from), static_cast<unsigned long long>(w.to), e.primes,
                      e.primesError, e.composites, e.compositesError);
        table += row;
    }
    std::fputs(table.c_str(), stdout);
    return flushed(stdout);
}

}  // namespace

int runHeightsProgram(const SurveyRequest& request) {
    // Each window's sieve is freed before the next is made. Left to itself, the C library
    // raises its threshold for mapping large blocks after the first is freed and keeps
    // the later ones on its heap: the windows' memory piled up to twice one survey's.
    mallopt(M_MMAP_THRESHOLD, kWindowMapThreshold);
    const std::vector<Window> windows = heightWindows(request.from, request.to, request.windowWidth);
    if (windows.empty()) {
        return failWith("no window of " + std::to_string(request.windowWidth) + " numbers fits from --from to TO",
                        kExitBadInput);
    }
    if (request.modelOnly) {
        if (auto refusal = tableRefusal(stdout)) return failWith(*refusal, kExitBadInput);
        return printModelOnly(windows, request.sharpSet());
    }
    Recorded recorded{std::vector<std::optional<LineSpan>>(windows.size()), std::vector<ClassCounts>(windows.size())};
    const auto take = [&](const SliceRecord& record, LineSpan span) {
        recorded.line[record.slice] = span;
        recorded.counts[record.slice] = record.bucketCounts[0].second;
    };
    std::optional<StateFile> state;
    std::optional<RecordLog> scratch;
    RecordLog* log = nullptr;
    try {
        if (!request.statePath.empty()) {
            state.emplace(request.statePath, heightsHeader(request, windows.size()), std::string(),
                          [&](const SliceRecord& record) -> std::optional<std::string> {
                              if (auto why = windowMisfit(record, windows)) return why;
                              if (recorded.line[record.slice]) return "window recorded twice";
                              return std::nullopt;
                          },
                          take);
            for (const std::string& note : state->notes()) std::fprintf(stderr, "sharp-survey: %s\n", note.c_str());
            log = &state->log();
        } else {
            log = &scratch.emplace(RecordLog::scratch());
        }
    } catch (const StateError& refusal) {
        return failWith(refusal.what(), kExitBadInput);
    }
    // Opened once the state file's lock is held, like the plain survey's outputs.
    OutputFile csv, tossed;
    std::string error;
    std::optional<std::string> refusal;
    if (!csv.open(request.heightsPath, error) ||
        (!request.tossedPath.empty() && !tossed.open(request.tossedPath, error))) {
        refusal = error;
    } else {
        refusal = tableRefusal(tableStream(csv.isStandardOutput() || tossed.isStandardOutput()));
    }
    if (refusal) {
        if (state) state->removeIfCreated();
        return failWith(*refusal, kExitBadInput);
    }

    double total = 0, done = 0;
    for (std::size_t i = 0; i < windows.size(); ++i) {
        const double numbers = static_cast<double>(windows[i].to - windows[i].from) + 1;
        total += numbers;
        if (recorded.line[i]) done += numbers;
    }
    StatusLine status(!request.quiet && isatty(STDERR_FILENO), total, done);
    std::uint64_t candidates = 0;
    try {
        for (std::size_t i = 0; i < windows.size(); ++i) {
            if (recorded.line[i]) continue;
            double inWindow = 0;
            const SliceRecord record = surveyWindow(windows[i], i, request, [&](const SegmentReport& report) {
                for (const auto& [bucket, counts] : report.bucketCounts) candidates += counts.candidates;
                inWindow += static_cast<double>(report.last - report.first) + 1;
                status.update(done + inWindow, candidates);
            });
            take(record, log->append(formatRecord(record)));
            done += static_cast<double>(windows[i].to - windows[i].from) + 1;
        }
    } catch (const std::exception& failure) {
        status.finish();
        return failWith(failure.what(), kExitFailed);
    }
    status.finish();

    try {
        std::vector<HeightRow> rows;
        const std::vector<ExpectedTossed> expected = expectedIn(windows, request.sharpSet());
        for (std::size_t i = 0; i < windows.size(); ++i) rows.push_back({windows[i], recorded.counts[i], expected[i]});
        int exitStatus = 0;
        csv.write(formatHeightsCsv(rows));
        if (!csv.commit(error)) exitStatus = failWith(error, kExitFailed);
        if (tossed.isOpen()) {
            for (std::size_t i = 0; i < windows.size(); ++i) {
                const std::optional<SliceRecord> record = parseRecord(log->read(*recorded.line[i]));
                if (!record) throw StateError(log->name() + " changed under the survey");
                for (const TossedCandidate& t : record->tossed) tossed.write(tossedLine(t));
            }
            if (!tossed.commit(error) && exitStatus == 0) exitStatus = failWith(error, kExitFailed);
        }
        std::FILE* const table = tableStream(csv.isStandardOutput() || tossed.isStandardOutput());
        std::fputs(formatHeightsTable(rows).c_str(), table);
        const int tableStatus = flushed(table);
        return exitStatus != 0 ? exitStatus : tableStatus;
    } catch (const std::exception& failure) {
        return failWith(failure.what(), kExitFailed);
    }
}

}  // namespace sharp::survey
