#include "survey/ledger/tossed_parts.hpp"

#include <algorithm>

#include "survey/survey_constants.hpp"

namespace sharp::survey {

TossedSoFar TossedParts::before(const SliceRecord& record) const {
    if (record.isPart && record.part == 0) return {};
    const auto open = open_.find(record.slice);
    return open == open_.end() ? TossedSoFar{} : open->second.soFar;
}

void TossedParts::add(const SliceRecord& part, std::uint64_t offset) {
    TossedAttempt& attempt = open_[part.slice];
    if (part.part == 0) attempt = TossedAttempt{{}, offset, {}};
    keepFirst(attempt.first, part.tossed);
    TossedSoFar& soFar = attempt.soFar;
    ++soFar.parts;
    soFar.count += part.tossed.size();
    for (const TossedCandidate& t : part.tossed) soFar.primes += t.prime;
    soFar.last = part.tossed.back().value;
}

TossedAttempt TossedParts::close(std::uint64_t slice) {
    const auto open = open_.find(slice);
    if (open == open_.end()) return {};
    TossedAttempt attempt = std::move(open->second);
    open_.erase(open);
    return attempt;
}

void keepFirst(std::vector<TossedCandidate>& first, const std::vector<TossedCandidate>& more) {
    const std::size_t room = kTossedShown - std::min(kTossedShown, first.size());
    first.insert(first.end(), more.begin(), more.begin() + static_cast<std::ptrdiff_t>(std::min(room, more.size())));
}

void readParts(const RecordLog& log, std::uint64_t slice, std::uint64_t firstOffset, std::uint64_t parts,
               const std::function<void(const TossedCandidate&)>& visit) {
    std::uint64_t offset = firstOffset, next = 0;
    while (next < parts) {
        const auto [line, end] = log.readLine(offset);
        if (end == offset) throw StateError(log.name() + " changed under the survey");
        offset = end;
        const std::optional<SliceRecord> part = parseRecord(line);
        if (!part || !part->isPart || part->slice != slice || part->part != next) continue;
        for (const TossedCandidate& t : part->tossed) visit(t);
        ++next;
    }
}

}  // namespace sharp::survey
