#include "survey/program/explain_program.hpp"

#include <algorithm>
#include <cstdio>

#include "survey/check/factor.hpp"
#include "survey/check/primality.hpp"
#include "survey/check/sharp_check.hpp"
#include "survey/program/table_stream.hpp"
#include "survey/program/wide_survey_program.hpp"
#include "survey/survey_constants.hpp"

namespace sharp::survey {

namespace {

// "composite, smallest factor F", or what the search could not say.
std::string compositeText(const std::optional<Uint128>& factor) {
    if (!factor) return "composite, no prime factor below 2^16 (rho found none)";
    return "composite, smallest factor " + decimal(*factor);
}

std::string offsetText(const OffsetLook& look) {
    switch (look.kind) {
        case OffsetLook::Kind::one: return "1";
        case OffsetLook::Kind::prime: return "prime";
        case OffsetLook::Kind::composite: return compositeText(look.factor);
        case OffsetLook::Kind::notBelow: break;
    }
    return "not below N: not counted";
}

// What keeps n from being a candidate.
std::string notCandidateReason(const Explanation& e) {
    if (e.n < kFirstCandidate) return "below 23";
    if (e.n % 2 == 0) return "even";
    return "it has the factor " + decimal(e.factor.value_or(0));
}

std::string className(CandidateClass verdict) {
    switch (verdict) {
        case CandidateClass::truePrime: return "a true prime";
        case CandidateClass::falsePrime: return "a false prime";
        case CandidateClass::tossedPrime: return "a tossed prime, a counterexample to the conjecture";
        case CandidateClass::tossedComposite: break;
    }
    return "a tossed composite";
}

std::string padded(const std::string& text, std::size_t width) {
    return std::string(width > text.size() ? width - text.size() : 0, ' ') + text;
}

}  // namespace

Explanation explainNumber(Uint128 n, const SharpSet& sharps, bool factors) {
    Explanation e;
    e.n = n;
    e.candidate = isCandidate(n);
    e.prime = n >= 2 && isProbablePrime128(n);
    if (!e.prime && n >= 2 && (factors || !e.candidate)) e.factor = smallestPrimeFactor(n);
    for (const Uint128 s : sharps.all()) {
        OffsetLook look;
        look.sharp = s;
        look.offset = s < n ? n - s : s - n;
        if (look.offset < n) {
            look.kind = look.offset == 1            ? OffsetLook::Kind::one
                        : isProbablePrime128(look.offset) ? OffsetLook::Kind::prime
                                                          : OffsetLook::Kind::composite;
        }
        if (look.kind == OffsetLook::Kind::composite && factors) look.factor = smallestPrimeFactor(look.offset);
        if (!e.firstHit && (look.kind == OffsetLook::Kind::one || look.kind == OffsetLook::Kind::prime)) {
            e.firstHit = e.offsets.size();
        }
        e.offsets.push_back(look);
    }
    e.verdict = e.firstHit ? (e.prime ? CandidateClass::truePrime : CandidateClass::falsePrime)
                           : (e.prime ? CandidateClass::tossedPrime : CandidateClass::tossedComposite);
    return e;
}

std::string formatExplanation(const Explanation& e) {
    const std::string n = decimal(e.n);
    std::string text = n + (e.candidate ? " is a candidate (odd, no prime factor up to 47)"
                                        : " is not a candidate (" + notCandidateReason(e) + ")");
    // A number that is no candidate for its factor up to 47 needs no more said of it.
    text += e.prime ? ", prime\n" : !e.candidate ? "\n" : ", " + compositeText(e.factor) + "\n";
    std::size_t width = std::max<std::size_t>(n.size(), 12);
    for (const OffsetLook& look : e.offsets) width = std::max(width, decimal(look.sharp).size());
    text += padded("sharp number", width) + "  " + padded("offset", width) + "  the offset is\n";
    for (const OffsetLook& look : e.offsets) {
        text += padded(decimal(look.sharp), width) + "  " + padded(decimal(look.offset), width) + "  " + offsetText(look) + "\n";
    }
    if (!e.candidate) {
        text += "verdict: not a candidate: the survey does not test it\n";
    } else if (e.firstHit) {
        const OffsetLook& hit = e.offsets[*e.firstHit];
        text += "verdict: hit, first by the sharp number " + decimal(hit.sharp) + " (offset " + decimal(hit.offset) +
                (hit.kind == OffsetLook::Kind::one ? "" : ", prime") + "): " + className(e.verdict) + "\n";
    } else {
        text += "verdict: tossed, no offset below N is 1 or a prime: " + className(e.verdict) + "\n";
    }
    if (e.n >= kTwoTo64) text += kProbablePrimeNote;
    return text;
}

int runExplainProgram(Uint128 n, const SharpSet& sharps) {
    std::FILE* const table = tableStream(false);
    if (auto refusal = tableRefusal(table)) return failWith(*refusal, kExitBadInput);
    std::fputs(formatExplanation(explainNumber(n, sharps)).c_str(), table);
    return flushed(table);
}

}  // namespace sharp::survey
