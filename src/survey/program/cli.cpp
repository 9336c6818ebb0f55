#include "survey/program/cli.hpp"

#include <algorithm>
#include <cstdio>

#include <sched.h>
#include <thread>

#include <CLI/CLI.hpp>

#include "survey/program/number_expression.hpp"
#include "survey/program/output_file.hpp"
#include "survey/program/sharps_file.hpp"
#include "survey/survey_constants.hpp"

namespace sharp::survey {

namespace {

// The most threads a survey starts; more would only be a typo.
constexpr unsigned kMaxThreads = 4096;

// The CPUs this process may run on (its affinity, as nproc counts them): what a
// binding by mpirun or taskset leaves it, not every core of the machine.
unsigned cpusAllowed() {
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (::sched_getaffinity(0, sizeof allowed, &allowed) == 0 && CPU_COUNT(&allowed) > 0) {
        return static_cast<unsigned>(CPU_COUNT(&allowed));
    }
    return std::max(1u, std::thread::hardware_concurrency());
}

int badInput(const std::string& message) {
    std::fprintf(stderr, "sharp-survey: %s\n", message.c_str());
    return kExitBadInput;
}

// Reads the table of --sharps FILE into `request`: the refusal's status, or nothing.
std::optional<int> readSharps(SurveyRequest& request) {
    if (request.sharpsPath.empty()) return std::nullopt;
    auto table = readSharpsFile(request.sharpsPath);
    if (const auto* message = std::get_if<std::string>(&table)) return badInput(*message);
    request.sharps = std::get<std::shared_ptr<const SharpSet>>(std::move(table));
    return std::nullopt;
}

// --explain N looks at one number, with the 79 or --sharps FILE: every other option is refused.
std::variant<SurveyRequest, int> explainRequest(const CLI::App& app, const std::string& text, SurveyRequest request) {
    for (const char* option : {"--from", "--csv", "--tossed", "--state", "--expected", "--heights", "--window",
                               "--model-only", "TO"}) {
        if (app.count(option) != 0) {
            return badInput(std::string("--explain looks at one number: ") + (option[0] == '-' ? option : "TO") +
                            " has nothing to do (only --sharps goes with it)");
        }
    }
    const auto n = parseSurveyNumber(text);
    if (const auto* message = std::get_if<std::string>(&n)) return badInput("--explain: " + *message);
    request.explain = std::get<Uint128>(n);
    if (const auto status = readSharps(request)) return *status;
    return request;
}

}  // namespace

std::variant<SurveyRequest, int> parseSurveyArguments(int argc, const char* const* argv) {
    CLI::App app{"Tests the sharp-number conjecture on every candidate from A to TO."};
    SurveyRequest request;
    const unsigned cpus = cpusAllowed();
    request.threads = cpus;
    request.cpus = cpus;
    std::string fromText = "0", toText;
    app.add_option("--from", fromText, "first number tested (default 0; the first candidate is 23)");
    app.add_option("--threads", request.threads, "worker threads (default: every CPU this process may run on)")
        ->check(CLI::Range(1u, kMaxThreads));
    app.set_version_flag("--version", std::string("sharp-survey ") + SHARP_VERSION);
    app.add_option("--csv", request.csvPath,
                   "write the counts at about 20 points per decade to FILE (- for standard output)");
    app.add_option("--tossed", request.tossedPath, "write every tossed candidate to FILE (- for standard output)");
    app.add_option("--state", request.statePath,
                   "record each finished slice in FILE; run again with the same FILE and range to resume");
    app.add_option("--expected", request.expectedPath,
                   "write the tossed primes and composites chance alone would give, at the CSV's rows, to FILE "
                   "(- for standard output)");
    std::string windowText;
    app.add_option("--heights", request.heightsPath,
                   "survey windows at heights instead: five a decade from --from up to TO, and the one ending at TO; "
                   "a row each to FILE (with --tossed, their tossed candidates)");
    app.add_option("--window", windowText,
                   "the numbers of a --heights window (default 2^30, and 2^24 from 2^64 on)");
    app.add_option("--sharps", request.sharpsPath,
                   "test against the sharp numbers in FILE instead of the 79: one a line, even, at most 4096, "
                   "# starts a comment");
    app.add_flag("--model-only", request.modelOnly,
                 "print the expected tossed counts at the table's rows (and write --expected) without surveying");
    std::string explainText;
    app.add_option("--explain", explainText,
                   "show the test on the one number N: its offsets from each sharp number, what each is, the verdict");
    app.add_flag("--quiet", request.quiet, "no status line");
    app.add_option("TO", toText, "last number tested: 1000, 1e10, 2.5e16, 10^12, 2^32, 2^64-1, up to 2^128-1");
    app.footer(
        "Numbers: decimal, 1e10, 2.5e16, 10^12, 2^32, 30030*17, with +K or -K (2^64-1). With --csv - or --tossed -,\n"
        "that file goes to standard output and the table to standard error.\n"
        "Past 2^64 (up to 2^128-1, from 2^32 on) prime means a Baillie-PSW probable prime; a range there\n"
        "takes --tossed but not --csv, --state or --expected, and --heights windows there are 2^24 numbers.\n\n"
        "Examples:\n"
        "  sharp-survey 1e10                  the table from 0 to 10^10 on every CPU\n"
        "  sharp-survey --from 2^64-2^30 --state top.state --tossed top.txt 2^64-1\n"
        "                                     the top 2^30 numbers, resumable, every tossed candidate kept\n"
        "  sharp-survey --model-only 1e12     the tossed counts chance alone would give, in seconds\n"
        "  sharp-survey --from 1e10 --heights heights.csv --tossed heights.txt 2^64-1\n"
        "                                     windows of 2^30 numbers, five a decade, up to the top\n"
        "  sharp-survey --sharps mine.txt --csv mine.csv 1e11\n"
        "                                     the same test with the sharp numbers in mine.txt\n"
        "  sharp-survey --explain 9792455131  why the first tossed prime is tossed");
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& answered) {  // --help or --version
        return app.exit(answered);
    } catch (const CLI::ParseError& error) {
        return badInput(error.what());
    }
    if (!explainText.empty()) return explainRequest(app, explainText, std::move(request));
    if (toText.empty()) return badInput("TO is required (or --explain N)");
    const auto from = parseSurveyNumber(fromText);
    if (const auto* message = std::get_if<std::string>(&from)) return badInput("--from: " + *message);
    const auto to = parseSurveyNumber(toText);
    if (const auto* message = std::get_if<std::string>(&to)) return badInput("TO: " + *message);
    request.wideFrom = std::get<Uint128>(from);
    request.wideTo = std::get<Uint128>(to);
    request.from = static_cast<std::uint64_t>(std::min(request.wideFrom, Uint128{~std::uint64_t{0}}));
    request.to = static_cast<std::uint64_t>(std::min(request.wideTo, Uint128{~std::uint64_t{0}}));
    if (request.wideTo < request.wideFrom) {
        return badInput("TO (" + decimal(request.wideTo) + ") is below --from (" + decimal(request.wideFrom) + ")");
    }
    if (!windowText.empty()) {
        const auto width = parseNumberExpression(windowText);
        if (const auto* message = std::get_if<std::string>(&width)) return badInput("--window: " + *message);
        request.windowWidth = request.wideWindowWidth = std::get<std::uint64_t>(width);
        if (request.windowWidth == 0 || request.heightsPath.empty()) {
            return badInput("--window takes a width from 1 on, with --heights");
        }
    }
    if (!request.heightsPath.empty() && !(request.csvPath.empty() && request.expectedPath.empty())) {
        return badInput("--heights writes a row per window: --csv and --expected have nothing to write");
    }
    if (request.modelOnly && !(request.csvPath.empty() && request.tossedPath.empty() && request.statePath.empty())) {
        return badInput("--model-only surveys nothing: --csv, --tossed and --state have nothing to write");
    }
    if (const auto refusal = sameFileRefusal(
            {{"--csv", request.csvPath},
             {"--tossed", request.tossedPath},
             {"--expected", request.expectedPath},
             {"--heights", request.heightsPath},
             {"--sharps", request.sharpsPath}},
            request.statePath)) {
        return badInput(*refusal);
    }
    if (const auto status = readSharps(request)) return *status;
    if (request.threads > cpus) {
        std::fprintf(stderr,
                     "sharp-survey: --threads %u: the threads share the %u CPU%s this process may run on "
                     "(under mpirun, --bind-to none or --map-by node:PE=N gives a rank more)\n",
                     request.threads, cpus, cpus == 1 ? "" : "s");
    }
    return request;
}

}  // namespace sharp::survey
