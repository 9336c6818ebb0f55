#include "survey/program/report.hpp"

#include <cerrno>
#include <cstring>

#include <unistd.h>

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

std::string tossedLine(const TossedCandidate& tossed) {
    return std::to_string(tossed.value) + (tossed.prime ? " prime\n" : " composite\n");
}

OutputFile::~OutputFile() {
    if (file_ == nullptr) return;
    std::fclose(file_);
    std::remove(partPath_.c_str());
}

bool OutputFile::open(const std::string& path, std::string& error) {
    path_ = path;
    partPath_ = path + ".part";
    file_ = std::fopen(partPath_.c_str(), "w");
    if (file_ == nullptr) error = "cannot write " + partPath_ + ": " + std::strerror(errno);
    return file_ != nullptr;
}

void OutputFile::write(const std::string& text) { std::fwrite(text.data(), 1, text.size(), file_); }

bool OutputFile::commit(std::string& error) {
    bool good = std::fflush(file_) == 0 && std::ferror(file_) == 0 && fsync(fileno(file_)) == 0;
    const int writeError = errno;
    good = std::fclose(file_) == 0 && good;
    file_ = nullptr;
    if (good && std::rename(partPath_.c_str(), path_.c_str()) == 0) return true;
    error = "cannot write " + path_ + ": " + std::strerror(good ? errno : writeError);
    std::remove(partPath_.c_str());
    return false;
}

}  // namespace sharp::survey
