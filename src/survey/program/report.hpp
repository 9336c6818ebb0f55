// What the survey writes: the table, the CSV rows and the tossed-candidate lines.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "survey/ledger/checkpoints.hpp"
#include "survey/check/class_counts.hpp"
#include "survey/ledger/windows.hpp"
#include "survey/model/tossed_model.hpp"

namespace sharp::survey {

// The counts from `from` up to each checkpoint, from the counts of each bucket.
std::vector<ClassCounts> cumulativeCounts(const std::vector<ClassCounts>& buckets);

// The widths of the table's N column: up to 2^64 - 1, and up to 2^128 - 1.
inline constexpr int kNarrowColumn = 20, kWideColumn = 39;

// The table's heading, and a row of the counts up to N (`n`, in decimal), N's column `width` wide.
std::string formatTableHeading(int width);
std::string formatTableRow(const std::string& n, int width, const ClassCounts& counts);

// The table: a heading, then one row per table checkpoint.
std::string formatTable(const std::vector<Checkpoint>& checkpoints, const std::vector<ClassCounts>& cumulative);

// The CSV file: its header, then one row per checkpoint.
std::string formatCsv(const std::vector<Checkpoint>& checkpoints, const std::vector<ClassCounts>& cumulative);

// The model's expected tossed counts with their sampling errors: a heading, then
// one row per table checkpoint.
std::string formatExpectedTable(const std::vector<Checkpoint>& checkpoints, const std::vector<ExpectedTossed>& expected);

// The --expected file: its header, then one row per checkpoint, the CSV's rows.
std::string formatExpectedCsv(const std::vector<Checkpoint>& checkpoints, const std::vector<ExpectedTossed>& expected);

// A window of a heights survey: what it holds and what chance alone would give.
struct HeightRow {
    Window window;
    ClassCounts counts;
    ExpectedTossed expected;
};

// The heights CSV: its header, then one row per window; without `observed` (the model
// alone) the observed columns are left empty.
std::string formatHeightsCsv(const std::vector<HeightRow>& rows, bool observed = true);

// Per decade of the windows, then for all of them: their count, tossed primes among
// the primes, and the observed against the expected counts, z in standard deviations
// of the expected count's Poisson noise and the model's error together.
std::string formatHeightsTable(const std::vector<HeightRow>& rows);

// Per row of the table (the candidates above the row before, from `from` for the
// first), then for the whole range: the tossed counts of `buckets` (one per checkpoint)
// against the model's `expected` (cumulative, one per checkpoint), as the heights table
// gives them.
std::string formatComparisonTable(std::uint64_t from, const std::vector<Checkpoint>& checkpoints,
                                  const std::vector<ClassCounts>& buckets, const std::vector<ExpectedTossed>& expected);

// "N prime" or "N composite"; past 2^64 N is origin + the candidate's value.
std::string tossedLine(const TossedCandidate& tossed, Uint128 origin = 0);
std::string tossedLine(Uint128 value, bool prime);

}  // namespace sharp::survey
