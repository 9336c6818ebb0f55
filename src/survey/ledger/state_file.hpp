// The state file of a resumable survey: a header naming the survey, then one line
// per finished slice, each synced to disk before the next is written.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "survey/ledger/slices.hpp"

namespace sharp::survey {

// A state file that cannot be used; the message is the one line the user sees.
class StateError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class StateFile {
public:
    // Opens or creates `path` and takes its lock (a second survey on the same file is
    // refused), then loads it: a new file gets `header`; an existing one must start
    // with it. A torn last line (a kill mid-write) is cut off with a note; any other
    // damaged line, a slice outside 0 .. sliceCount - 1 or twice, or a bucket outside
    // 0 .. bucketCount - 1, is refused.
    StateFile(const std::string& path, const std::string& header, std::uint64_t sliceCount, std::size_t bucketCount);
    ~StateFile();
    StateFile(const StateFile&) = delete;
    StateFile& operator=(const StateFile&) = delete;

    const std::vector<SliceRecord>& loaded() const { return loaded_; }
    const std::vector<std::string>& notes() const { return notes_; }

    // Appends the record's line and syncs it to disk.
    void append(const SliceRecord& record);

private:
    void load(const std::string& header, std::uint64_t sliceCount, std::size_t bucketCount);
    void writeAll(const std::string& text);
    void truncateTo(std::uint64_t size);
    // Refuses a file whose first line is not this survey's header.
    [[noreturn]] void refuseForeign(std::string_view firstLine) const;

    std::string path_;
    int fd_ = -1;
    std::vector<SliceRecord> loaded_;
    std::vector<std::string> notes_;
};

// The header line of a survey's state file (without its '\n'): the range, the slice
// size and count, and the number of buckets, with a checksum.
std::string stateHeader(std::uint64_t from, std::uint64_t to, const SliceLayout& slices, std::size_t buckets);

}  // namespace sharp::survey
