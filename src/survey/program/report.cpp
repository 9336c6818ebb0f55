#include "survey/program/report.hpp"

#include <cstdio>

namespace sharp::survey {

namespace {

std::string formatted(const char* format, auto... values) {
    char line[256];
    std::snprintf(line, sizeof line, format, values...);
    return line;
}

unsigned long long wide(std::uint64_t value) { return value; }

}  // namespace

std::vector<ClassCounts> cumulativeCounts(const std::vector<ClassCounts>& buckets) {
    std::vector<ClassCounts> cumulative;
    ClassCounts sum;
    for (const ClassCounts& bucket : buckets) cumulative.push_back(sum += bucket);
    return cumulative;
}

std::string formatTable(const std::vector<Checkpoint>& checkpoints, const std::vector<ClassCounts>& cumulative) {
    std::string table = formatted("%20s %15s %15s %15s %15s %13s %17s %10s\n", "N", "candidates", "hits",
                                  "true primes", "false primes", "tossed primes", "tossed composites", "false/hits");
    for (std::size_t i = 0; i < checkpoints.size(); ++i) {
        if (!checkpoints[i].inTable) continue;
        const ClassCounts& c = cumulative[i];
        const double share = c.hits == 0 ? 0.0 : static_cast<double>(c.falsePrimes) / static_cast<double>(c.hits);
        table += formatted("%20llu %15llu %15llu %15llu %15llu %13llu %17llu %10.6f\n", wide(checkpoints[i].value),
                           wide(c.candidates), wide(c.hits), wide(c.truePrimes), wide(c.falsePrimes),
                           wide(c.tossedPrimes), wide(c.tossedComposites), share);
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
        csv += formatted("%llu,%.4f,%.4f,%.4f,%.4f\n", wide(checkpoints[i].value), e.primes, e.composites,
                         e.primesError, e.compositesError);
    }
    return csv;
}

std::string tossedLine(const TossedCandidate& tossed) {
    return std::to_string(tossed.value) + (tossed.prime ? " prime\n" : " composite\n");
}

}  // namespace sharp::survey
