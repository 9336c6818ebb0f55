#include "survey/ledger/slices.hpp"

#include <algorithm>
#include <bit>
#include <charconv>

#include "survey/survey_constants.hpp"

namespace sharp::survey {

namespace {

constexpr std::uint64_t kSegmentWords = kSegmentOdds / 64;

// Reads an unsigned decimal at `at`, moving past it.
bool readNumber(std::string_view text, std::size_t& at, std::uint64_t& value) {
    const auto [end, error] = std::from_chars(text.data() + at, text.data() + text.size(), value);
    if (error != std::errc{} || end == text.data() + at) return false;
    at = static_cast<std::size_t>(end - text.data());
    return true;
}

bool expect(std::string_view text, std::size_t& at, char c) {
    if (at >= text.size() || text[at] != c) return false;
    ++at;
    return true;
}

}  // namespace

SliceLayout SliceLayout::forRange(std::uint64_t from, std::uint64_t to) {
    const Piece range = wholeRange(from, to);
    const std::uint64_t words = range.endWord - range.firstWord;
    std::uint64_t sliceWords = std::bit_ceil(std::max<std::uint64_t>(1, words / kSlicesPerRange));
    sliceWords = std::clamp(sliceWords, kSegmentWords * kSegmentsPerSlice, kMaxSliceWords);
    sliceWords = std::max(sliceWords, std::bit_ceil(std::max<std::uint64_t>(1, words / kMaxSlices)));
    return {range.firstWord, range.endWord, sliceWords, (words + sliceWords - 1) / sliceWords};
}

Piece SliceLayout::piece(std::uint64_t slice) const {
    const std::uint64_t first = firstWord + slice * sliceWords;
    return {slice, first, std::min(endWord, first + sliceWords)};
}

void SliceRecord::add(const SegmentReport& report) {
    for (const auto& [bucket, counts] : report.bucketCounts) {
        if (!bucketCounts.empty() && bucketCounts.back().first == bucket) {
            bucketCounts.back().second += counts;
        } else {
            bucketCounts.emplace_back(bucket, counts);
        }
    }
    tossed.insert(tossed.end(), report.tossed.begin(), report.tossed.end());
}

std::string checksumOf(std::string_view text) {
    std::uint64_t hash = 0xcbf29ce484222325;  // FNV-1a, 64 bits
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3;
    }
    char digits[17];
    for (int i = 15; i >= 0; --i, hash >>= 4) digits[i] = "0123456789abcdef"[hash & 15];
    return std::string(digits, 16);
}

std::string formatRecord(const SliceRecord& record) {
    // Appended piece by piece: GCC 12 warns falsely on "text" + std::string.
    std::string line(1, 'S');
    line += std::to_string(record.slice);
    for (const auto& [bucket, c] : record.bucketCounts) {
        line += " B";
        line += std::to_string(bucket);
        char separator = '=';
        for (const std::uint64_t count :
             {c.candidates, c.hits, c.truePrimes, c.falsePrimes, c.tossedPrimes, c.tossedComposites}) {
            line += separator;
            line += std::to_string(count);
            separator = ',';
        }
    }
    for (const TossedCandidate& t : record.tossed) {
        line += " T";
        line += std::to_string(t.value);
        line += t.prime ? 'p' : 'c';
    }
    const std::string checksum = checksumOf(line);
    line += " #";
    line += checksum;
    line += '\n';
    return line;
}

std::optional<SliceRecord> parseRecord(std::string_view line) {
    const std::size_t mark = line.rfind(" #");
    if (mark == std::string_view::npos || line.substr(mark + 2) != checksumOf(line.substr(0, mark))) return {};
    const std::string_view body = line.substr(0, mark);
    SliceRecord record;
    std::size_t at = 0;
    if (!expect(body, at, 'S') || !readNumber(body, at, record.slice)) return {};
    while (at < body.size()) {
        if (!expect(body, at, ' ') || at >= body.size()) return {};
        const char kind = body[at++];
        std::uint64_t value = 0;
        if (!readNumber(body, at, value)) return {};
        if (kind == 'B') {
            ClassCounts c;
            std::uint64_t* fields[] = {&c.candidates,  &c.hits,         &c.truePrimes,
                                       &c.falsePrimes, &c.tossedPrimes, &c.tossedComposites};
            for (std::size_t i = 0; i < 6; ++i) {
                if (!expect(body, at, i == 0 ? '=' : ',') || !readNumber(body, at, *fields[i])) return {};
            }
            record.bucketCounts.emplace_back(static_cast<std::size_t>(value), c);
        } else if (kind == 'T' && at < body.size() && (body[at] == 'p' || body[at] == 'c')) {
            record.tossed.push_back({value, body[at++] == 'p'});
        } else {
            return {};
        }
    }
    return record;
}

}  // namespace sharp::survey
