#include "survey/sieve/shared_large_marks.hpp"

#include <algorithm>

#include <primesieve.hpp>

#include "survey/sieve/first_multiples.hpp"
#include "survey/sieve/large_marks.hpp"

namespace sharp::survey {

namespace {

// The numbers whose primes a thread takes at a time: about 200 000 primes far up,
// and a thousand stretches to share out below 2^32.
constexpr std::uint64_t kStretch = std::uint64_t{1} << 22;

}  // namespace

SharedLargeMarks::SharedLargeMarks(std::uint64_t first, std::uint64_t last, std::uint64_t largePrime)
    : first_(first),
      last_(last),
      largePrime_(largePrime),
      limit_(sievingLimit(last)),
      marks_(last - first + 1),
      locks_(std::make_unique<std::mutex[]>(LargeMarks::regionsOf(last - first + 1))) {}

void SharedLargeMarks::markShare() {
    LargeMarks writer;
    writer.startInto(marks_.data(), marks_.size(), locks_.get());
    std::vector<std::uint64_t> primes, quotients;
    std::vector<FirstMultiple> hitting;
    const std::uint64_t lastByte = last_ - first_;
    for (;;) {
        const std::uint64_t low = largePrime_ + nextStretch_.fetch_add(1) * kStretch;
        if (low > limit_) break;
        primes.clear();
        primesieve::generate_primes(low, std::min(limit_, low + kStretch - 1), &primes);
        // Which primes hit the range is decided without a branch, as in a stream.
        hitting.resize(primes.size());
        std::size_t hits = 0;
        forEachFirstMultiple210(primes.data(), primes.size(), 30 * first_, quotients, [&](const FirstMultiple& f) {
            hitting[hits] = f;
            hits += f.byte <= last_;
        });
        for (std::size_t i = 0; i < hits; ++i) {
            writer.mark(hitting[i].a, hitting[i].r, hitting[i].w, hitting[i].byte - first_, lastByte);
        }
    }
    writer.applyAll();
}

void SharedLargeMarks::clearMarked(std::uint8_t* bits, std::uint64_t at, std::size_t count) const {
    const std::uint8_t* const marks = marks_.data() + (at - first_);
    for (std::size_t i = 0; i < count; ++i) bits[i] &= static_cast<std::uint8_t>(~marks[i]);
}

}  // namespace sharp::survey
