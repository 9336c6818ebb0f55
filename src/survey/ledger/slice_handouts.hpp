// Which process each slice out there was handed to, so that a record is taken only
// from the process that was given its slice, once.
#pragma once

#include <cstdint>
#include <unordered_map>

namespace sharp::survey {

class SliceHandouts {
public:
    void handed(std::uint64_t slice, int holder) { holders_[slice] = holder; }
    // True, and the slice no longer out, when `holder` was handed `slice` and has not
    // returned it yet; false for any other record.
    bool takeBack(std::uint64_t slice, int holder);
    // Whether `holder` was handed `slice` and has not returned it yet.
    bool holds(std::uint64_t slice, int holder) const;

private:
    std::unordered_map<std::uint64_t, int> holders_;
};

}  // namespace sharp::survey
