#include "survey/program/heights_program.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include <mutex>
#include <stdexcept>

#include <malloc.h>
#include <unistd.h>

#include "survey/ledger/record_log.hpp"
#include "survey/ledger/slice_exchange.hpp"
#include "survey/ledger/slices.hpp"
#include "survey/ledger/state_file.hpp"
#include "survey/ledger/tossed_parts.hpp"
#include "survey/ledger/windows.hpp"
#include "survey/parallel/run_wide_window.hpp"
#include "survey/program/ending_signals.hpp"
#include "survey/program/output_file.hpp"
#include "survey/program/report.hpp"
#include "survey/program/sharps_file.hpp"
#include "survey/program/table_stream.hpp"
#include "survey/program/status_line.hpp"
#include "survey/program/wide_survey_program.hpp"
#include "survey/survey_constants.hpp"

namespace sharp::survey {

namespace {

// Blocks from this size on are mapped and unmapped, not kept on the heap: 1 MiB.
constexpr int kWindowMapThreshold = 1 << 20;

// The header of a heights survey's state file: the range, the width and the number
// of its windows, the digest of a table other than the 79, " tossed=first" when its
// records keep only their first tossed candidates, with a checksum. A record is a
// slice record whose slice is the window.
std::string heightsHeader(const SurveyRequest& request, std::size_t windows, TossedKept kept) {
    std::string body = "sharp-survey heights 1 from=" + decimal(request.wideFrom) + " to=" + decimal(request.wideTo) +
                       " window=" + std::to_string(request.windowWidth) + " windows=" + std::to_string(windows);
    if (request.wideTo >= kTwoTo64) body += " wide-window=" + std::to_string(request.wideWindowWidth);
    if (const std::string digest = sharpsDigest(request.sharpSet()); !digest.empty()) body += " sharps=" + digest;
    if (kept == TossedKept::first) body += " tossed=first";
    return body + " #" + checksumOf(body);
}

// Where the tossed candidates of `w` are counted from in its records: past 2^64 from
// its first number (their distances fit 64 bits), below it from 0.
Uint128 originOf(const Window& w) { return w.to >= kTwoTo64 ? w.from : 0; }

// What is wrong with `record` (or part) as the record of a window after `before`, or nothing.
std::optional<std::string> windowMisfit(const SliceRecord& record, const std::vector<Window>& windows,
                                        TossedKept kept, const TossedSoFar& before) {
    if (record.slice >= windows.size()) return "window " + std::to_string(record.slice) + " is not this survey's";
    const Window& w = windows[record.slice];
    const Uint128 origin = originOf(w);
    const auto low = static_cast<std::uint64_t>(w.from - origin), high = static_cast<std::uint64_t>(w.to - origin);
    if (record.isPart) return tossedMisfit(record, low, high, 0, 0, kept, before, origin);
    if (record.bucketCounts.size() != 1 || record.bucketCounts[0].first != 0) return "not one count per window";
    const ClassCounts& c = record.bucketCounts[0].second;
    if (c.hits != c.truePrimes + c.falsePrimes || c.candidates != c.hits + c.tossedPrimes + c.tossedComposites) {
        return std::string("counts that do not add up");
    }
    return tossedMisfit(record, low, high, c.tossedPrimes + c.tossedComposites, c.tossedPrimes, kept, before, origin);
}

// The windows' records: counts in memory; a kept tossed list in the record file, in
// parts ahead of each record, or with no record file straight into the tossed file.
struct WindowLedger : SliceExchange {
    const std::vector<Window>& windows;
    TossedKept kept = TossedKept::first;
    RecordLog* log = nullptr;
    OutputFile* stream = nullptr;  // no record file: the tossed file, written as windows come
    TossedParts parts;
    std::vector<std::optional<LineSpan>> line;
    std::vector<ClassCounts> counts;
    std::vector<TossedAttempt> ahead;  // the parts ahead of each window's record

    std::vector<bool> handed;          // given to this process's workers or another rank
    std::mutex lock;                   // rank 0 serves other ranks while its own workers run

    explicit WindowLedger(const std::vector<Window>& all)
        : windows(all), line(all.size()), counts(all.size()), ahead(all.size()), handed(all.size()) {}

    // The next window neither recorded nor handed out, as a piece of its own.
    std::optional<Piece> next() override {
        const std::lock_guard held(lock);
        for (std::size_t i = 0; i < windows.size(); ++i) {
            if (line[i] || handed[i]) continue;
            handed[i] = true;
            return Piece{i, 0, 0};
        }
        return std::nullopt;
    }
    // The numbers of the windows recorded so far.
    double recordedNumbers() {
        const std::lock_guard held(lock);
        double numbers = 0;
        for (std::size_t i = 0; i < windows.size(); ++i) {
            if (line[i]) numbers += static_cast<double>(windows[i].to - windows[i].from) + 1;
        }
        return numbers;
    }
    // A part or record, from this process or another rank: checked, then kept.
    void tossedPart(SliceRecord part) override { checkedFound(std::move(part)); }
    void finished(SliceRecord record) override { checkedFound(std::move(record)); }
    void checkedFound(SliceRecord record) {
        const std::lock_guard held(lock);
        // As sent, a record holds its whole list: only then is it cut to what is kept.
        std::optional<std::string> why = windowMisfit(record, windows, TossedKept::all, parts.before(record));
        if (!why && line[record.slice]) why = "window recorded twice";
        if (why) throw std::runtime_error("a record of window " + std::to_string(record.slice) + " does not fit: " + *why);
        found(std::move(record));
    }

    std::optional<std::string> misfit(const SliceRecord& record) const {
        if (auto why = windowMisfit(record, windows, kept, parts.before(record))) return why;
        if (line[record.slice]) return "window recorded twice";
        return std::nullopt;
    }
    void take(const SliceRecord& record, LineSpan span) {
        if (record.isPart) return parts.add(record, span.offset);
        line[record.slice] = span;
        counts[record.slice] = record.bucketCounts[0].second;
        ahead[record.slice] = parts.close(record.slice);
    }
    // A part or record this run found: written where the list goes, then taken.
    void found(SliceRecord record) {
        if (stream) {
            for (const TossedCandidate& t : record.tossed) stream->write(tossedLine(t, originOf(windows[record.slice])));
        }
        if (kept == TossedKept::first && log) {
            if (record.isPart) return parts.add(record, 0);
            // Only the window's first candidates: no list is kept.
            std::vector<TossedCandidate> first = parts.close(record.slice).first;
            keepFirst(first, record.tossed);
            record.tossed = std::move(first);
            record.part = 0;
        }
        take(record, log ? log->append(formatRecord(record)) : LineSpan{});
    }
    // Every tossed candidate the record file keeps, in window order, to `file`.
    void writeTossed(OutputFile& file) const {
        for (std::size_t i = 0; i < windows.size(); ++i) {
            const auto write = [&](const TossedCandidate& t) { file.write(tossedLine(t, originOf(windows[i]))); };
            readParts(*log, i, ahead[i].firstOffset, ahead[i].soFar.parts, write);
            const std::optional<SliceRecord> record = parseRecord(log->read(*line[i]));
            if (!record || record->isPart) throw StateError(log->name() + " changed under the survey");
            for (const TossedCandidate& t : record->tossed) write(t);
        }
    }
};

// A segment's report past 2^64 as a window's record takes it: its numbers and
// candidates by their distance from the window's first number.
SegmentReport asSegmentReport(const WideReport& wide, const Window& window) {
    SegmentReport report;
    report.first = static_cast<std::uint64_t>(wide.first - window.from);
    report.last = static_cast<std::uint64_t>(wide.last - window.from);
    report.endsPiece = wide.last == window.to;
    report.bucketCounts = {{0, wide.counts}};
    for (const WideTossed& t : wide.tossed) report.tossed.push_back({static_cast<std::uint64_t>(t.value - window.from), t.prime});
    return report;
}

// Surveys `window` whole on the request's threads with its sharp numbers, as window
// `index`: its parts and record go to `ledger` as they fill. Past 2^64 (a window that
// reaches it) by Baillie-PSW on what a sieve by small primes leaves.
void surveyWindow(const Window& window, std::size_t index, const SurveyRequest& request, SliceExchange& exchange,
                  const std::function<void(const SegmentReport&)>& progress) {
    const auto asPart = [&](SliceRecord part) {
        part.slice = index;
        exchange.tossedPart(std::move(part));
    };
    const auto asRecord = [&](SliceRecord record) {
        record.slice = index;
        exchange.finished(std::move(record));
    };
    RecordBuilder builder(asPart, asRecord);
    const auto take = [&](const SegmentReport& report) {
        builder.add(report);
        if (progress) progress(report);
    };
    if (window.to >= kTwoTo64) {
        runWideWindow(window.from, window.to, request.sharpSet(), request.threads,
                      [&](const WideReport& wide) { take(asSegmentReport(wide, window)); });
        return;
    }
    SurveyPlan plan;
    plan.from = static_cast<std::uint64_t>(window.from);
    plan.to = static_cast<std::uint64_t>(window.to);
    plan.bucketEnds = {plan.to};
    plan.threads = request.threads;
    plan.cpus = request.cpus;
    plan.sharps = &request.sharpSet();
    runSurvey(plan, take);
}

// The model's expectation for each window, its progress on the status line.
std::vector<ExpectedTossed> expectedIn(const std::vector<Window>& windows, const SurveyRequest& request) {
    std::vector<std::pair<Uint128, Uint128>> spans;
    for (const Window& w : windows) spans.emplace_back(w.from, w.to);
    StatusLine status(!request.quiet && isatty(STDERR_FILENO), 1, 0, "drawing the model of chance");
    ModelSettings settings;
    settings.progress = [&](double share) { status.update(share); };
    std::vector<ExpectedTossed> expected =
        expectTossedInWindows(spans, std::span<const Uint128>(request.sharpSet().all()), settings);
    status.finish();
    return expected;
}

// --model-only: the expectation for every window, one row each, on the table's stream
// and in the heights file (its observed columns empty).
int runModelOnly(const std::vector<Window>& windows, const SurveyRequest& request) {
    OutputFile csv;
    std::string error;
    if (!csv.open(request.heightsPath, error)) return failWith(error, kExitBadInput);
    std::FILE* const stream = tableStream(csv.isStandardOutput());
    if (auto refusal = tableRefusal(stream)) return failWith(*refusal, kExitBadInput);
    setEndingNote(interruptedNote(request.statePath, nullptr));
    const std::vector<ExpectedTossed> expected = expectedIn(windows, request);
    std::vector<HeightRow> rows;
    for (std::size_t i = 0; i < windows.size(); ++i) rows.push_back({windows[i], {}, expected[i]});
    csv.write(formatHeightsCsv(rows, false));
    const int fileStatus = csv.commit(error) ? 0 : failWith(error, kExitFailed);
    std::string table;
    char row[160];
    std::snprintf(row, sizeof row, "%20s %20s %28s %28s\n", "from", "to", "expected tossed primes",
                  "expected tossed composites");
    table += row;
    for (std::size_t i = 0; i < windows.size(); ++i) {
        const Window& w = windows[i];
        const ExpectedTossed& e = expected[i];
        std::snprintf(row, sizeof row, "%20s %20s %17.4f +- %7.4f %17.4f +- %7.4f\n", decimal(w.from).c_str(),
                      decimal(w.to).c_str(), e.primes, e.primesError, e.composites, e.compositesError);
        table += row;
    }
    std::fputs(table.c_str(), stream);
    const int tableStatus = flushed(stream);
    return fileStatus != 0 ? fileStatus : tableStatus;
}

}  // namespace

void surveyHandedWindows(const std::vector<Window>& windows, const SurveyRequest& request, SliceExchange& exchange,
                         const std::function<void(const SegmentReport&)>& progress) {
    while (const std::optional<Piece> piece = exchange.next()) {
        if (piece->id >= windows.size()) throw std::runtime_error("window " + std::to_string(piece->id) + " is not this survey's");
        surveyWindow(windows[piece->id], piece->id, request, exchange, progress);
    }
}

std::vector<Window> windowsOf(const SurveyRequest& request) {
    return heightWindows(request.wideFrom, request.wideTo, request.windowWidth, request.wideWindowWidth);
}

std::string heightsIdentity(const SurveyRequest& request) {
    std::string identity = heightsHeader(request, windowsOf(request).size(), TossedKept::all);
    identity += " sharp-survey " SHARP_VERSION " " __VERSION__ " sharps";
    for (const Uint128 s : request.sharpSet().all()) {
        identity += ' ';
        identity += decimal(s);
    }
    return checksumOf(identity);
}

int runHeightsProgram(const SurveyRequest& request, const SliceSharing& sharing) {
    // Each window's sieve is freed before the next is made. Left to itself, the C library
    // raises its threshold for mapping large blocks after the first is freed and keeps
    // the later ones on its heap: the windows' memory piled up to twice one survey's.
    mallopt(M_MMAP_THRESHOLD, kWindowMapThreshold);
    const std::vector<Window> windows = windowsOf(request);
    if (windows.empty()) {
        return failWith("no window of " + std::to_string(request.windowWidth) + " numbers fits from --from to TO",
                        kExitBadInput);
    }
    if (std::ranges::any_of(windows, [](const Window& w) { return w.to >= kTwoTo64 && w.from < kWideFirstNumber; })) {
        return failWith("a window that reaches past 2^64 starts at 2^32 or above: give a narrower --window",
                        kExitBadInput);
    }
    if (request.modelOnly) return runModelOnly(windows, request);
    WindowLedger ledger(windows);
    const TossedKept asked = request.tossedPath.empty() ? TossedKept::first : TossedKept::all;
    std::optional<StateFile> state;
    try {
        if (!request.statePath.empty()) {
            state.emplace(request.statePath,
                          stateHeadersFor(asked, [&](TossedKept kept) { return heightsHeader(request, windows.size(), kept); }),
                          [&](std::size_t index) { ledger.kept = keptByHeader(asked, index); },
                          [&](const SliceRecord& record) { return ledger.misfit(record); },
                          [&](const SliceRecord& record, LineSpan span) { ledger.take(record, span); });
            for (const std::string& note : state->notes()) std::fprintf(stderr, "sharp-survey: %s\n", note.c_str());
            ledger.log = &state->log();
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
    std::optional<RecordLog> scratch;
    if (!state && tossed.isOpen()) {
        if (sharing.serve) {
            // Other ranks' windows come in any order: their lists wait beside the tossed file.
            ledger.kept = TossedKept::all;
            ledger.log = &scratch.emplace(RecordLog::scratchBeside(request.tossedPath));
        } else {
            ledger.stream = &tossed;  // a lone process sees its windows in order
        }
    }

    setEndingNote(interruptedNote(request.statePath, "windows"));
    double total = 0;
    for (const Window& w : windows) total += static_cast<double>(w.to - w.from) + 1;
    StatusLine status(!request.quiet && isatty(STDERR_FILENO), total, ledger.recordedNumbers());
    std::uint64_t candidates = 0;
    try {
        const ServiceStop stopService(sharing);
        if (sharing.serve) sharing.serve(ledger);
        double inWindow = 0, recordedBefore = ledger.recordedNumbers();
        const auto started = std::chrono::steady_clock::now();
        const auto now = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(); };
        LatestWindowPace pace(total, recordedBefore);
        surveyHandedWindows(windows, request, ledger, [&](const SegmentReport& report) {
            for (const auto& [bucket, counts] : report.bucketCounts) candidates += counts.candidates;
            // A window just recorded counts among the recorded ones, no longer here.
            const double recorded = ledger.recordedNumbers();
            inWindow = recorded != recordedBefore ? 0 : inWindow + static_cast<double>(report.last - report.first) + 1;
            recordedBefore = recorded;
            status.update(recorded + inWindow, candidates, pace.secondsLeft(now(), recorded, inWindow));
        });
        if (sharing.awaitOthers) sharing.awaitOthers();
    } catch (const std::exception& failure) {
        status.finish();
        return failWith(failure.what(), kExitFailed);
    }
    status.finish();

    try {
        std::vector<HeightRow> rows;
        const std::vector<ExpectedTossed> expected = expectedIn(windows, request);
        for (std::size_t i = 0; i < windows.size(); ++i) rows.push_back({windows[i], ledger.counts[i], expected[i]});
        int exitStatus = 0;
        csv.write(formatHeightsCsv(rows));
        if (!csv.commit(error)) exitStatus = failWith(error, kExitFailed);
        if (tossed.isOpen()) {
            if (ledger.log) ledger.writeTossed(tossed);  // else it went on as found
            if (!tossed.commit(error) && exitStatus == 0) exitStatus = failWith(error, kExitFailed);
        }
        std::FILE* const table = tableStream(csv.isStandardOutput() || tossed.isStandardOutput());
        std::fputs(formatHeightsTable(rows).c_str(), table);
        if (windows.back().to >= kTwoTo64) std::fputs(kProbablePrimeNote, table);
        const int tableStatus = flushed(table);
        return exitStatus != 0 ? exitStatus : tableStatus;
    } catch (const std::exception& failure) {
        return failWith(failure.what(), kExitFailed);
    }
}

}  // namespace sharp::survey
