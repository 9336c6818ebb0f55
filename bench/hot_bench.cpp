// The hot functions of the candidate loop, each over the candidates just below 10^7
// with the prime list a run to there builds.
#include <benchmark/benchmark.h>

#include <vector>

#include "candidates/prime_list.hpp"
#include "candidates/sharp_offset.hpp"
#include "candidates/wheel.hpp"
#include "run/run_sequence.hpp"

namespace {

using namespace sharp;

constexpr std::uint32_t kListEnd = 10'000'000;
constexpr std::uint32_t kProbeStart = 9'000'001;

// A run context whose list holds every prime below 10^7; the channels stay unopened.
RunContext& preparedContext() {
    static auto context = [] {
        auto built = buildRunContext(-1);
        built->console.close();
        built->endCandidate = kListEnd;
        built->candidate = kFirstCandidate;
        seedPrimeList(*built);
        runCandidateLoop(*built);
        built->endCandidate = kMaxEndCandidate;  // the sieve benchmark sieves all a run can reach
        return built;
    }();
    return *context;
}

const std::vector<std::uint32_t>& probeCandidates() {
    static const auto candidates = [] {
        std::vector<std::uint32_t> list;
        for (std::uint32_t c = nextCandidate(kProbeStart); c < kListEnd; c = nextCandidate(c)) list.push_back(c);
        return list;
    }();
    return candidates;
}

// Times `probe` once per candidate.
template <class Probe>
void overCandidates(benchmark::State& state, Probe probe) {
    const auto& candidates = probeCandidates();
    for (auto _ : state) {
        for (std::uint32_t c : candidates) benchmark::DoNotOptimize(probe(c));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * candidates.size()));
}

// The start-up sieve of a run that reaches the capacity stop: every odd number below 2^25.
void BM_sieveReachablePrimes(benchmark::State& state) {
    RunContext& context = preparedContext();
    for (auto _ : state) {
        sieveReachablePrimes(context);
        benchmark::DoNotOptimize(context.oddPrime.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * (context.sievedEnd / 2)));
}
BENCHMARK(BM_sieveReachablePrimes);

void BM_findHitSlot(benchmark::State& state) {
    const RunContext& context = preparedContext();
    overCandidates(state, [&](std::uint32_t c) { return findHitSlot(context, c); });
}
BENCHMARK(BM_findHitSlot);

void BM_nextCandidate(benchmark::State& state) { overCandidates(state, nextCandidate); }
BENCHMARK(BM_nextCandidate);


}  // namespace

BENCHMARK_MAIN();
