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

void SliceRecord::addCounts(const SegmentReport& report) {
    for (const auto& [bucket, counts] : report.bucketCounts) {
        if (!bucketCounts.empty() && bucketCounts.back().first == bucket) {
            bucketCounts.back().second += counts;
        } else {
            bucketCounts.emplace_back(bucket, counts);
        }
    }
}

void RecordBuilder::add(const SegmentReport& report) {
    current_.slice = report.piece;
    for (const TossedCandidate& t : report.tossed) {
        current_.tossed.push_back(t);
        if (current_.tossed.size() < kTossedPerLine) continue;
        SliceRecord part;
        part.slice = report.piece;
        part.isPart = true;
        part.part = current_.part++;
        part.tossed.swap(current_.tossed);
        part_(std::move(part));
    }
    current_.addCounts(report);
    if (!report.endsPiece) return;
    record_(std::move(current_));
    current_ = SliceRecord{};
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
    if (record.isPart) {
        line += " P";
        line += std::to_string(record.part);
    }
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
    if (!record.isPart && record.part != 0) {
        line += " P";
        line += std::to_string(record.part);
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
    // Fields come in their order: P first in a part, else B, then P, then T.
    enum { kBeforeP, kCounts, kAfterP, kTossed } stage = kBeforeP;
    while (at < body.size()) {
        if (!expect(body, at, ' ') || at >= body.size()) return {};
        const char kind = body[at++];
        std::uint64_t value = 0;
        if (!readNumber(body, at, value)) return {};
        if (kind == 'P') {
            if (stage == kBeforeP) {
                record.isPart = true;
            } else if (stage != kCounts || value == 0) {
                return {};
            }
            record.part = value;
            stage = kAfterP;
        } else if (kind == 'B') {
            if (record.isPart || stage > kCounts) return {};
            stage = kCounts;
            ClassCounts c;
            std::uint64_t* fields[] = {&c.candidates,  &c.hits,         &c.truePrimes,
                                       &c.falsePrimes, &c.tossedPrimes, &c.tossedComposites};
            for (std::size_t i = 0; i < 6; ++i) {
                if (!expect(body, at, i == 0 ? '=' : ',') || !readNumber(body, at, *fields[i])) return {};
            }
            record.bucketCounts.emplace_back(static_cast<std::size_t>(value), c);
        } else if (kind == 'T' && at < body.size() && (body[at] == 'p' || body[at] == 'c')) {
            stage = kTossed;
            record.tossed.push_back({value, body[at++] == 'p'});
        } else {
            return {};
        }
    }
    return record;
}

}  // namespace sharp::survey
