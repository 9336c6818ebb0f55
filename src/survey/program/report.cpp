#include "survey/program/report.hpp"

#include <cmath>
#include <cstdio>

namespace sharp::survey {

namespace {

std::string formatted(const char* format, auto... values) {
    char line[256];
    std::snprintf(line, sizeof line, format, values...);
    return line;
}

unsigned long long wide(std::uint64_t value) { return value; }

// An expectation in a CSV field: four decimals, or below 0.01 four significant digits
// (1.234e-05), so that a small one keeps its value.
std::string expectationField(double value) {
    return formatted(value == 0 || value >= 0.01 ? "%.4f" : "%.3e", value);
}

// The model's four figures as the last fields of a CSV row.
std::string expectationFields(const ExpectedTossed& e) {
    return expectationField(e.primes) + "," + expectationField(e.composites) + "," + expectationField(e.primesError) +
           "," + expectationField(e.compositesError) + "\n";
}

// The decade of n, k with 10^k <= n < 10^(k+1), by integer division alone (0 for 0):
// a floating logarithm can put a number just below a power of ten above it.
int decadeOf(Uint128 n) {
    int k = 0;
    for (; n >= 10; n /= 10) ++k;
    return k;
}

}  // namespace

std::vector<ClassCounts> cumulativeCounts(const std::vector<ClassCounts>& buckets) {
    std::vector<ClassCounts> cumulative;
    ClassCounts sum;
    for (const ClassCounts& bucket : buckets) cumulative.push_back(sum += bucket);
    return cumulative;
}

std::string formatTableHeading(int width) {
    return formatted("%*s %15s %15s %15s %15s %13s %17s %10s\n", width, "N", "candidates", "hits", "true primes",
                     "false primes", "tossed primes", "tossed composites", "false/hits");
}

std::string formatTableRow(const std::string& n, int width, const ClassCounts& c) {
    const double share = c.hits == 0 ? 0.0 : static_cast<double>(c.falsePrimes) / static_cast<double>(c.hits);
    return formatted("%*s %15llu %15llu %15llu %15llu %13llu %17llu %10.6f\n", width, n.c_str(), wide(c.candidates),
                     wide(c.hits), wide(c.truePrimes), wide(c.falsePrimes), wide(c.tossedPrimes),
                     wide(c.tossedComposites), share);
}

std::string formatTable(const std::vector<Checkpoint>& checkpoints, const std::vector<ClassCounts>& cumulative) {
    std::string table = formatTableHeading(kNarrowColumn);
    for (std::size_t i = 0; i < checkpoints.size(); ++i) {
        if (checkpoints[i].inTable) table += formatTableRow(std::to_string(checkpoints[i].value), kNarrowColumn, cumulative[i]);
    }
    return table;
}

std::string formatCsv(const std::vector<Checkpoint>& checkpoints, const std::vector<ClassCounts>& cumulative) {
    std::string csv = "n,candidates,hits,true_primes,false_primes,tossed_primes,tossed_composites\n";
    for (std::size_t i = 0; i < checkpoints.size(); ++i) {
        const ClassCounts& c = cumulative[i];
        csv += formatted("%llu,%llu,%llu,%llu,%llu,%llu,%llu\n", wide(checkpoints[i].value), wide(c.candidates),
                         wide(c.hits), wide(c.truePrimes), wide(c.falsePrimes), wide(c.tossedPrimes),
                         wide(c.tossedComposites));
    }
    return csv;
}

std::string formatExpectedTable(const std::vector<Checkpoint>& checkpoints, const std::vector<ExpectedTossed>& expected) {
    std::string table = formatted("%20s %28s %28s\n", "N", "expected tossed primes", "expected tossed composites");
    for (std::size_t i = 0; i < checkpoints.size(); ++i) {
        if (!checkpoints[i].inTable) continue;
        const ExpectedTossed& e = expected[i];
        table += formatted("%20llu %17.2f +- %7.2f %17.2f +- %7.2f\n", wide(checkpoints[i].value), e.primes,
                           e.primesError, e.composites, e.compositesError);
    }
    return table;
}

std::string formatExpectedCsv(const std::vector<Checkpoint>& checkpoints, const std::vector<ExpectedTossed>& expected) {
    std::string csv = "n,expected_tossed_primes,expected_tossed_composites,error_tossed_primes,error_tossed_composites\n";
    for (std::size_t i = 0; i < checkpoints.size(); ++i) {
        const ExpectedTossed& e = expected[i];
        csv += std::to_string(checkpoints[i].value) + "," + expectationFields(e);
    }
    return csv;
}

std::string formatHeightsCsv(const std::vector<HeightRow>& rows, bool observed) {
    std::string csv =
        "from,to,candidates,hits,true_primes,false_primes,tossed_primes,tossed_composites,expected_tossed_primes,"
        "expected_tossed_composites,error_tossed_primes,error_tossed_composites\n";
    for (const HeightRow& row : rows) {
        const ClassCounts& c = row.counts;
        const ExpectedTossed& e = row.expected;
        csv += decimal(row.window.from) + "," + decimal(row.window.to) + ",";
        csv += observed ? formatted("%llu,%llu,%llu,%llu,%llu,%llu,", wide(c.candidates), wide(c.hits),
                                    wide(c.truePrimes), wide(c.falsePrimes), wide(c.tossedPrimes),
                                    wide(c.tossedComposites))
                        : std::string(",,,,,,");
        csv += expectationFields(e);
    }
    return csv;
}

namespace {

// Observed against expected: "ratio z", z in standard deviations of the expected
// count's Poisson noise and the model's error together.
std::string againstExpected(std::uint64_t observed, double expected, double error) {
    const double sigma = std::sqrt(expected + error * error);
    if (expected <= 0) return formatted("%8s %8s", "-", "-");
    return formatted("%8.3f %+8.1f", static_cast<double>(observed) / expected,
                     (static_cast<double>(observed) - expected) / sigma);
}

// The comparison's columns after a row's label.
constexpr const char* kComparisonHeading = "%13s %13s %10s %12s %8s %8s %17s %12s %8s %8s\n";

std::string comparisonHeading() {
    return formatted(kComparisonHeading, "primes", "tossed", "share", "expected", "ratio", "z", "tossed composites",
                     "expected", "ratio", "z");
}

// A row's counts against the model's: primes among the candidates, tossed ones and
// their share, expected, ratio and z; the same for the tossed composites.
std::string comparisonCells(const ClassCounts& c, const ExpectedTossed& e) {
    const std::uint64_t primes = c.truePrimes + c.tossedPrimes;
    return formatted("%13llu %13llu %10.3e %12.2f ", wide(primes), wide(c.tossedPrimes),
                     primes == 0 ? 0.0 : static_cast<double>(c.tossedPrimes) / static_cast<double>(primes), e.primes) +
           againstExpected(c.tossedPrimes, e.primes, e.primesError) +
           formatted(" %17llu %12.2f ", wide(c.tossedComposites), e.composites) +
           againstExpected(c.tossedComposites, e.composites, e.compositesError) + "\n";
}

// The sum of expectations drawn from one seed: their sampling errors go together.
ExpectedTossed& operator+=(ExpectedTossed& sum, const ExpectedTossed& e) {
    sum.primes += e.primes;
    sum.composites += e.composites;
    sum.primesError += e.primesError;
    sum.compositesError += e.compositesError;
    return sum;
}

}  // namespace

std::string formatHeightsTable(const std::vector<HeightRow>& rows) {
    std::string table = formatted("%-8s %7s ", "decade", "windows") + comparisonHeading();
    HeightRow all{};
    for (std::size_t first = 0; first < rows.size();) {
        const int decade = decadeOf(rows[first].window.from);
        HeightRow sum{};
        std::size_t end = first;
        for (; end < rows.size() && decadeOf(rows[end].window.from) == decade; ++end) {
            sum.counts += rows[end].counts;
            sum.expected += rows[end].expected;
        }
        table += formatted("10^%-5d %7zu ", decade, end - first) + comparisonCells(sum.counts, sum.expected);
        all.counts += sum.counts;
        all.expected += sum.expected;
        first = end;
    }
    return table + formatted("%-8s %7zu ", "all", rows.size()) + comparisonCells(all.counts, all.expected);
}

std::string formatComparisonTable(std::uint64_t from, const std::vector<Checkpoint>& checkpoints,
                                  const std::vector<ClassCounts>& buckets, const std::vector<ExpectedTossed>& expected) {
    std::string table = formatted("%20s %20s ", "from", "to") + comparisonHeading();
    ClassCounts part, all;
    ExpectedTossed expectedBefore;
    std::uint64_t low = from;
    for (std::size_t i = 0; i < checkpoints.size(); ++i) {
        part += buckets[i];
        all += buckets[i];
        if (!checkpoints[i].inTable) continue;
        // Sums from the survey's start: the larger one's error bounds the difference's.
        const ExpectedTossed& e = expected[i];
        const ExpectedTossed between{e.primes - expectedBefore.primes, e.composites - expectedBefore.composites,
                                     e.primesError, e.compositesError};
        table += formatted("%20llu %20llu ", wide(low), wide(checkpoints[i].value)) + comparisonCells(part, between);
        part = {};
        expectedBefore = e;
        low = checkpoints[i].value;
    }
    return table + formatted("%20s %20s ", "all", "") + comparisonCells(all, expected.back());
}

std::string tossedLine(Uint128 value, bool prime) { return decimal(value) + (prime ? " prime\n" : " composite\n"); }

std::string tossedLine(const TossedCandidate& tossed, Uint128 origin) {
    if (origin != 0) return tossedLine(origin + tossed.value, tossed.prime);
    return std::to_string(tossed.value) + (tossed.prime ? " prime\n" : " composite\n");  // 64 bits: the quick way
}

}  // namespace sharp::survey
