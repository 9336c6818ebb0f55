// What the survey writes: the table, the CSV rows, the tossed-candidate lines, and
// output files that appear only when complete.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "survey/ledger/checkpoints.hpp"
#include "survey/check/class_counts.hpp"

namespace sharp::survey {

// The counts from `from` up to each checkpoint, from the counts of each bucket.
std::vector<ClassCounts> cumulativeCounts(const std::vector<ClassCounts>& buckets);

// The table: a heading, then one row per table checkpoint.
std::string formatTable(const std::vector<Checkpoint>& checkpoints, const std::vector<ClassCounts>& cumulative);

// The CSV file: its header, then one row per checkpoint.
std::string formatCsv(const std::vector<Checkpoint>& checkpoints, const std::vector<ClassCounts>& cumulative);

// "N prime" or "N composite".
std::string tossedLine(const TossedCandidate& tossed);

// A file written under PATH.part and renamed to PATH only by commit(), so a survey
// that is killed or fails never leaves PATH with part of its contents.
class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    // Creates PATH.part; false with `error` set when that fails.
    bool open(const std::string& path, std::string& error);
    bool isOpen() const { return file_ != nullptr; }
    void write(const std::string& text);
    // Flushes, syncs and renames; false with `error` set when any write failed.
    bool commit(std::string& error);

private:
    std::string path_, partPath_;
    std::FILE* file_ = nullptr;
};

}  // namespace sharp::survey
