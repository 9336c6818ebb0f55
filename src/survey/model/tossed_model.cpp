#include "survey/model/tossed_model.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <future>
#include <optional>
#include <system_error>
#include <random>
#include <stdexcept>
#include <tuple>
#include <utility>

#include "sharp/odd_primes.hpp"
#include "sharp/wheel_facts.hpp"

namespace sharp::survey {

namespace {

// The table size the tilt was chosen for: the 79.
constexpr double kTiltedTableSize = 79;

// A pattern that leaves a candidate a smaller chance than this of being tossed adds
// nothing a figure shows: 10^-30 of the 4 * 10^17 candidates below 2^64.
constexpr double kNegligibleChance = 1e-30;

// Patterns drawn between two reports of the model's progress.
constexpr std::uint32_t kProgressSamples = 256;

// The largest wheel prime: above it a composite candidate may be divisible by q.
constexpr std::uint32_t kLargestWheelPrime = kWheelPrimes.back();

// A set of the sharp numbers, a bit each.
struct Mask {
    std::vector<std::uint64_t> word;
    explicit Mask(std::size_t sharps = 0) : word((sharps + 63) / 64) {}
    void set(std::size_t k) { word[k / 64] |= std::uint64_t{1} << (k % 64); }
    bool has(std::size_t k) const { return ((word[k / 64] >> (k % 64)) & 1) != 0; }
    Mask& operator|=(const Mask& other) {
        for (std::size_t w = 0; w < word.size(); ++w) word[w] |= other.word[w];
        return *this;
    }
};

// For each odd prime q up to B and each residue r, the sharp numbers s = r mod q:
// the offsets a candidate c = r mod q has divisible by q.
//
// The patterns that leave few offsets alive are rare but carry most of the chance of
// being tossed, so residues are drawn tilted towards the classes that hold many
// sharp numbers (weight e^(tilt * class size)), and each pattern is weighted back by
// its likelihood ratio: the average stays exact, its spread shrinks.
struct ResidueClasses {
    std::size_t sharpCount;
    std::vector<std::uint32_t> primes;
    std::vector<std::vector<Mask>> sharpsAt;  // [prime][residue]
    // Per prime and kind of candidate: the tilted distribution's cumulative weights
    // over the allowed residues, and the uniform-to-tilted likelihood ratio of each.
    struct Tilted {
        std::vector<double> cumulative, ratio;
    };
    std::vector<Tilted> forPrime, forComposite;

    ResidueClasses(std::span<const Uint128> sharps, std::uint32_t bound, double tilt)
        : sharpCount(sharps.size()), primes(oddPrimesUpTo(bound)) {
        // A larger table fills larger classes: tilted as strongly as the 79 are, its
        // patterns would leave so few offsets that their weights would scatter.
        const double tiltPerSharp = std::min(1.0, kTiltedTableSize / static_cast<double>(std::max<std::size_t>(1, sharpCount)));
        for (const std::uint32_t q : primes) {
            std::vector<Mask> classes(q, Mask(sharps.size()));
            std::vector<double> size(q);
            for (std::size_t k = 0; k < sharps.size(); ++k) {
                const auto r = static_cast<std::size_t>(sharps[k] % q);
                classes[r].set(k);
                size[r] += tiltPerSharp;
            }
            sharpsAt.push_back(std::move(classes));
            forPrime.push_back(tilted(size, 1, tilt));
            forComposite.push_back(tilted(size, q > kLargestWheelPrime ? 0 : 1, tilt));
        }
    }

    static Tilted tilted(const std::vector<double>& size, std::size_t firstAllowed, double tilt) {
        Tilted t;
        double total = 0;
        for (std::size_t r = 0; r < size.size(); ++r) {
            const double weight = r < firstAllowed ? 0 : std::exp(tilt * size[r]);
            total += weight;
            t.cumulative.push_back(total);
        }
        const double allowed = static_cast<double>(size.size() - firstAllowed);
        for (std::size_t r = 0; r < size.size(); ++r) {
            const double weight = r < firstAllowed ? 0 : std::exp(tilt * size[r]);
            t.ratio.push_back(weight == 0 ? 0 : total / (allowed * weight));
        }
        return t;
    }

    // Draws one residue pattern: `eliminated[i]` the sharp numbers whose offsets the
    // primes up to primes[i] divide; returns the pattern's likelihood ratio. A prime
    // candidate has no residue 0; a composite one may have it above the wheel primes.
    // `firstZero`: the index of the first prime with residue 0, or primes.size().
    double draw(std::mt19937_64& random, bool primeCandidate, std::vector<Mask>& eliminatedBy,
                std::size_t& firstZero) const {
        Mask eliminated(sharpCount);
        double ratio = 1;
        firstZero = primes.size();
        for (std::size_t i = 0; i < primes.size(); ++i) {
            const Tilted& t = primeCandidate ? forPrime[i] : forComposite[i];
            const double u = std::ldexp(static_cast<double>(random() >> 11), -53) * t.cumulative.back();
            const std::size_t r = static_cast<std::size_t>(
                std::upper_bound(t.cumulative.begin(), t.cumulative.end(), u) - t.cumulative.begin());
            const std::size_t residue = std::min(r, t.cumulative.size() - 1);
            ratio *= t.ratio[residue];
            if (residue == 0 && firstZero == primes.size()) firstZero = i;
            eliminated |= sharpsAt[i][residue];
            eliminatedBy[i] = eliminated;
        }
        return ratio;
    }
};

// The primes above B are taken to here one by one; past it only their sum of 1/q^2 counts.
constexpr std::uint32_t kAboveBoundPrimes = 1 << 18;

// How the primes q above B change the chance that offsets are prime, against each
// surviving offset being prime with chance p = W_B / ln d on its own (Hardy and
// Littlewood's local factors, kept to single offsets and pairs):
// - a prime candidate is never 0 mod q, so each offset is divisible by q with chance
//   1/(q - 1), not 1/q: p carries the factor prod q (q - 2) / (q - 1)^2;
// - q divides two offsets together only when it divides s_i - s_j, so their chance of
//   both being prime carries prod f_ij(q), f = (1 - v/m) / (1 - 1/m)^2, v the classes the
//   two fill mod q, m = q - 1 for a prime candidate and q for a composite one.
// Over the subsets of the surviving offsets, to first order in g_ij = -ln prod f_ij,
// the chance that none is prime, prod (1 - p), becomes prod (1 - p) (1 - sum g_ij r_i r_j)
// with r = p / (1 - p); it is kept as an exponential, which stays a chance.
struct AboveBound {
    double primeFactor = 1;
    std::size_t sharpCount;
    std::vector<double> pairsForPrime, pairsForComposite;  // g_ij for i < j, a row each i

    AboveBound(std::span<const Uint128> sharps, std::uint32_t bound)
        : sharpCount(sharps.size()),
          pairsForPrime(sharpCount * (sharpCount - (sharpCount > 0)) / 2),
          pairsForComposite(sharpCount * (sharpCount - (sharpCount > 0)) / 2) {
        double apartPrime = 0, apartComposite = 0;  // g of two offsets in different classes
        std::vector<std::pair<std::uint64_t, std::size_t>> residues(sharpCount);
        for (const std::uint32_t q : oddPrimesUpTo(kAboveBoundPrimes)) {
            if (q <= bound) continue;
            const double m = q - 1.0, n = q;
            primeFactor *= n * (n - 2) / (m * m);
            apartPrime -= std::log((1 - 2 / m) / ((1 - 1 / m) * (1 - 1 / m)));
            apartComposite -= std::log((1 - 2 / n) / ((1 - 1 / n) * (1 - 1 / n)));
            // Offsets in one class: both divisible or neither; against apart, the
            // pair gains ln(1 - 1/m) - ln((1 - 2/m) / (1 - 1/m)^2).
            for (std::size_t k = 0; k < sharpCount; ++k) residues[k] = {static_cast<std::uint64_t>(sharps[k] % q), k};
            std::sort(residues.begin(), residues.end());
            for (std::size_t a = 0; a < residues.size(); ++a) {
                for (std::size_t b = a + 1; b < residues.size() && residues[b].first == residues[a].first; ++b) {
                    addToPair(pairsForPrime, residues[a].second, residues[b].second,
                              std::log(1 - 1 / m) + std::log((1 - 2 / m) / ((1 - 1 / m) * (1 - 1 / m))));
                    addToPair(pairsForComposite, residues[a].second, residues[b].second,
                              std::log(1 - 1 / n) + std::log((1 - 2 / n) / ((1 - 1 / n) * (1 - 1 / n))));
                }
            }
        }
        // Past the last prime taken one by one, sum 1/q^2 ~ 1 / (L ln L).
        const double tail = 1 / (kAboveBoundPrimes * std::log(static_cast<double>(kAboveBoundPrimes)));
        for (double& g : pairsForPrime) g += apartPrime + tail;
        for (double& g : pairsForComposite) g += apartComposite + tail;
    }

    // Where g_ij, i < j, stands.
    std::size_t pairAt(std::size_t i, std::size_t j) const { return i * sharpCount - i * (i + 1) / 2 + (j - i - 1); }

    void addToPair(std::vector<double>& pairs, std::size_t i, std::size_t j, double g) const {
        pairs[i < j ? pairAt(i, j) : pairAt(j, i)] += g;
    }

    // g_ij of the offsets `alive` (ascending), a row each, for noneIsPrime: read in a
    // row's order, not gathered from the whole table at every point.
    void pairsAmong(bool primeCandidate, const std::vector<std::size_t>& alive, std::vector<double>& out) const {
        const std::vector<double>& pairs = primeCandidate ? pairsForPrime : pairsForComposite;
        out.resize(alive.size() * alive.size());
        for (std::size_t a = 0; a < alive.size(); ++a) {
            for (std::size_t b = a + 1; b < alive.size(); ++b) out[a * alive.size() + b] = pairs[pairAt(alive[a], alive[b])];
        }
    }

    // The chance that none of the first `count` surviving offsets `alive` is prime,
    // their chances of not being prime `notPrime[k]` on their own (the rest do not
    // count), `among()` their pairs' g (pairsAmong), made only where it counts.
    template <class Among>
    double noneIsPrime(bool primeCandidate, const std::vector<std::size_t>& alive, std::size_t count, Among&& among,
                       const double* notPrime, std::vector<double>& r) const {
        double none = 1;
        r.resize(count);
        for (std::size_t a = 0; a < count; ++a) {
            const double p = (1 - notPrime[alive[a]]) * (primeCandidate ? primeFactor : 1);
            if (p >= 1) return 0;
            none *= 1 - p;
            if (none < kNegligibleChance) return 0;
            r[a] = p / (1 - p);
        }
        const std::vector<double>& pairs = among();
        double sum = 0;
        for (std::size_t a = 0; a + 1 < count; ++a) {
            const double* row = pairs.data() + a * alive.size();
            // Four sums at once: the adds do not wait on each other.
            double inner[4] = {0, 0, 0, 0};
            std::size_t b = a + 1;
            for (; b + 4 <= count; b += 4) {
                for (std::size_t i = 0; i < 4; ++i) inner[i] += row[b + i] * r[b + i];
            }
            for (; b < count; ++b) inner[0] += row[b] * r[b];
            sum += r[a] * ((inner[0] + inner[1]) + (inner[2] + inner[3]));
        }
        return none * std::exp(-sum);
    }
};

// What is left of the primes above B after AboveBound, as a share of each figure, added
// to the sampling error: the largest movement from B = 300 to 4 B that
// bench/model_convergence measures at the published heights.
constexpr double kAboveBoundShareOfPrimes = 0.002;
constexpr double kAboveBoundShareOfComposites = 0.009;

// The widest Simpson panel, in t = ln x: a 20th of a decade, as wide as the CSV rows.
constexpr double kWidestPanel = 2.302585092994046 / 20;

// A bucket's numbers x: from low to high, and its width where that is more exact.
struct Span {
    double low, high;
    double width = 0;
};

// The points where the integrands are taken: each bucket cut into panels of Simpson's
// rule over t = ln x, each panel's start, middle and end. At each, only the primes up to x^(1/3) (and B)
// judge the offsets: the chance W_B / ln d holds for d far above B, and an offset
// below B that a prime q divides may be q itself.
struct Grid {
    std::vector<double> t;  // 2 per panel, and one more per bucket
    std::vector<std::size_t> firstPoint, panels;  // per bucket
    std::vector<double> logWidth;  // per bucket: ln(high / low), over which its panels run
    std::vector<bool> empty;  // the bucket holds no candidate
    bool cumulative = true;   // each bucket's sum runs from the first bucket
    std::vector<std::size_t> primesUsed;  // per point: how many of the odd primes up to B
    std::vector<double> w;  // per point: W for 2 and those primes
};

// The grid over `spans` of x, a bucket each; `cumulative`: the buckets follow one
// another, and each sum runs from the first.
Grid gridOf(const std::vector<Span>& spans, bool cumulative, const std::vector<std::uint32_t>& primes) {
    Grid grid;
    grid.cumulative = cumulative;
    for (const Span& span : spans) {
        const double low = std::max(span.low, static_cast<double>(kFirstCandidate));
        const double high = span.high;
        const bool empty = high < low;
        const double a = std::log(low), b = std::log(std::max(high, low));
        const std::size_t panels = std::max<std::size_t>(1, static_cast<std::size_t>(std::ceil((b - a) / kWidestPanel)));
        grid.firstPoint.push_back(grid.t.size());
        grid.panels.push_back(panels);
        for (std::size_t i = 0; i <= 2 * panels; ++i) {
            const double t = a + (b - a) * static_cast<double>(i) / static_cast<double>(2 * panels);
            grid.t.push_back(t);
            const double bound = std::exp(t / 3);
            const std::size_t used =
                static_cast<std::size_t>(std::upper_bound(primes.begin(), primes.end(), bound) - primes.begin());
            double w = 2;  // the prime 2: every number that counts is odd
            for (std::size_t i = 0; i < used; ++i) w *= static_cast<double>(primes[i]) / (primes[i] - 1);
            grid.primesUsed.push_back(used);
            grid.w.push_back(w);
        }
        grid.empty.push_back(empty);
        // Far up a window's ends are one double: its width, kept apart, gives the log's.
        grid.logWidth.push_back(span.width > 0 ? std::log1p(span.width / low) : grid.t.back() - grid.t[grid.firstPoint.back()]);
    }
    return grid;
}

// chance[g][k]: the chance that offset k at grid point g is not prime, given that it
// survives; 1 where the offset does not count (above c), 0 where it is 1 or less.
// countable[g]: the sharp numbers up to 2c, the only ones whose offsets count.
struct Chances {
    std::vector<std::vector<double>> chance;
    std::vector<std::size_t> countable;
};

Chances compositeChances(const Grid& grid, std::span<const Uint128> sharps) {
    Chances chances{std::vector<std::vector<double>>(grid.t.size(), std::vector<double>(sharps.size())),
                    std::vector<std::size_t>(grid.t.size())};
    for (std::size_t g = 0; g < grid.t.size(); ++g) {
        const double x = std::exp(grid.t[g]), w = grid.w[g];
        std::vector<double>& chance = chances.chance[g];
        chances.countable[g] = static_cast<std::size_t>(
            std::upper_bound(sharps.begin(), sharps.end(), 2 * x, [](double y, Uint128 s) { return y < static_cast<double>(s); }) -
            sharps.begin());
        for (std::size_t k = 0; k < sharps.size(); ++k) {
            const double s = static_cast<double>(sharps[k]);
            const double d = std::abs(x - s);
            if (d > x) {
                chance[k] = 1;
            } else if (d < 2) {
                chance[k] = 0;
            } else {
                chance[k] = 1 - std::min(1.0, w / std::log(d));
            }
        }
    }
    return chances;
}

// Sums over the drawn patterns of the cumulative expectation and its square, per row.
struct Moments {
    std::vector<double> sum, squares;
};

// A prime candidate's density is 1 / ln x. A composite candidate is a candidate
// (density rho, residues uniform over all classes above 47) that is not prime: its
// pattern counts with the chance 1 - W / ln x that a candidate with it is not prime
// (1 where some prime up to B divides it).
Moments sampleCandidates(bool primes, const Grid& grid, const ResidueClasses& classes, const AboveBound* above,
                         const Chances& chances, std::size_t sharpCount, const ModelSettings& settings) {
    const std::size_t buckets = grid.empty.size();
    // The candidates' density at each grid point, times dx / dt = x.
    std::vector<double> weight(grid.t.size()), primeChance(grid.t.size());
    for (std::size_t g = 0; g < grid.t.size(); ++g) {
        const double t = grid.t[g];
        weight[g] = std::exp(t) * (primes ? 1 / t : candidateDensity());
        primeChance[g] = std::min(1.0, grid.w[g] / t);
    }
    Moments moments{std::vector<double>(buckets), std::vector<double>(buckets)};
    std::mt19937_64 random(settings.seed + (primes ? 0 : 1));
    std::vector<Mask> eliminatedBy(classes.primes.size(), Mask(sharpCount));
    const Mask none(sharpCount);
    std::vector<std::size_t> alive;
    std::vector<double> value(grid.t.size()), r, among;
    bool amongMade = false;  // `among` holds the pairs of `alive`
    const auto amongAlive = [&]() -> const std::vector<double>& {
        if (!amongMade) above->pairsAmong(primes, alive, among);
        amongMade = true;
        return among;
    };
    for (std::uint32_t m = 0; m < settings.samples; ++m) {
        // The composites are drawn on the calling thread: it tells the progress.
        if (!primes && settings.progress && m % kProgressSamples == 0) settings.progress(static_cast<double>(m) / settings.samples);
        std::size_t firstZero = 0;
        const double ratio = classes.draw(random, primes, eliminatedBy, firstZero);
        std::size_t aliveFor = ~std::size_t{0};  // the prime count `alive` was listed for
        std::size_t listedUpTo = 0;  // ... from the sharp numbers below this one
        for (std::size_t g = 0; g < grid.t.size(); ++g) {
            if (grid.primesUsed[g] != aliveFor) {
                aliveFor = grid.primesUsed[g];
                alive.clear();
                listedUpTo = 0;
            }
            // Listed only as far as offsets count: far below a large table's numbers
            // the list stays short.
            if (chances.countable[g] > listedUpTo) {
                const Mask& eliminated = aliveFor == 0 ? none : eliminatedBy[aliveFor - 1];
                for (std::size_t k = listedUpTo; k < chances.countable[g]; ++k) {
                    if (!eliminated.has(k)) alive.push_back(k);
                }
                listedUpTo = chances.countable[g];
                amongMade = false;
            }
            double tossed = primes || firstZero < grid.primesUsed[g] ? 1 : 1 - primeChance[g];
            const std::vector<double>& chance = chances.chance[g];
            const std::size_t countable = static_cast<std::size_t>(
                std::lower_bound(alive.begin(), alive.end(), chances.countable[g]) - alive.begin());
            // Where every prime up to B judges the offsets, those above B tie them too.
            if (above != nullptr && grid.primesUsed[g] == classes.primes.size()) {
                tossed *= above->noneIsPrime(primes, alive, countable, amongAlive, chance.data(), r);
            } else {
                for (std::size_t a = 0; a < countable && tossed >= kNegligibleChance; ++a) tossed *= chance[alive[a]];
                if (tossed < kNegligibleChance) tossed = 0;
            }
            value[g] = ratio * tossed * weight[g];
        }
        double cumulative = 0;
        for (std::size_t b = 0; b < buckets; ++b) {
            if (!grid.cumulative) cumulative = 0;
            if (!grid.empty[b]) {
                const double* v = value.data() + grid.firstPoint[b];
                const double h = grid.logWidth[b] / static_cast<double>(grid.panels[b]);
                for (std::size_t p = 0; p < grid.panels[b]; ++p) cumulative += h / 6 * (v[2 * p] + 4 * v[2 * p + 1] + v[2 * p + 2]);
            }
            moments.sum[b] += cumulative;
            moments.squares[b] += cumulative * cumulative;
        }
    }
    return moments;
}

// The mean of the samples and its standard error.
std::pair<double, double> meanAndError(double sum, double squares, std::uint32_t samples) {
    const double n = samples, mean = sum / n;
    const double variance = samples > 1 ? std::max(0.0, (squares / n - mean * mean) * n / (n - 1)) : 0;
    return {mean, std::sqrt(variance / n)};
}

}  // namespace

double candidateDensity() {
    double density = 0.5;  // odd
    for (const std::uint32_t p : kWheelPrimes) density *= 1 - 1.0 / p;
    return density;
}

namespace {

// The expectation per bucket of `spans` (see gridOf).
std::vector<ExpectedTossed> expectOver(const std::vector<Span>& spans, bool cumulative,
                                       std::span<const Uint128> sharps, const ModelSettings& settings) {
    const ResidueClasses classes(sharps, settings.smoothBound, settings.tilt);
    const Grid grid = gridOf(spans, cumulative, classes.primes);
    const Chances chances = compositeChances(grid, sharps);
    const std::optional<AboveBound> above =
        settings.aboveBound ? std::optional<AboveBound>(std::in_place, sharps, settings.smoothBound) : std::nullopt;
    const AboveBound* const aboveBound = above ? &*above : nullptr;
    // Primes and composites draw from generators of their own: two threads, same figures.
    std::future<Moments> primesLater;
    try {
        primesLater = std::async(std::launch::async, [&] {
            return sampleCandidates(true, grid, classes, aboveBound, chances, sharps.size(), settings);
        });
    } catch (const std::system_error& failure) {
        throw std::runtime_error("cannot start the model's second thread: " + failure.code().message());
    }
    const Moments composites = sampleCandidates(false, grid, classes, aboveBound, chances, sharps.size(), settings);
    const Moments primes = primesLater.get();
    std::vector<ExpectedTossed> expected(spans.size());
    const double primesShare = aboveBound ? kAboveBoundShareOfPrimes : 0;
    const double compositesShare = aboveBound ? kAboveBoundShareOfComposites : 0;
    for (std::size_t b = 0; b < expected.size(); ++b) {
        ExpectedTossed& e = expected[b];
        std::tie(e.primes, e.primesError) = meanAndError(primes.sum[b], primes.squares[b], settings.samples);
        std::tie(e.composites, e.compositesError) =
            meanAndError(composites.sum[b], composites.squares[b], settings.samples);
        e.primesError = std::hypot(e.primesError, primesShare * e.primes);
        e.compositesError = std::hypot(e.compositesError, compositesShare * e.composites);
    }
    return expected;
}

std::vector<Uint128> widened(std::span<const std::uint64_t> sharps) { return {sharps.begin(), sharps.end()}; }

}  // namespace

std::vector<ExpectedTossed> expectTossed(std::uint64_t from, const std::vector<std::uint64_t>& bucketEnds,
                                         std::span<const std::uint64_t> sharps, const ModelSettings& settings) {
    return expectTossed(from, bucketEnds, std::span<const Uint128>(widened(sharps)), settings);
}

std::vector<ExpectedTossed> expectTossedInWindows(const std::vector<std::pair<Uint128, Uint128>>& windows,
                                                  std::span<const std::uint64_t> sharps, const ModelSettings& settings) {
    return expectTossedInWindows(windows, std::span<const Uint128>(widened(sharps)), settings);
}

std::vector<ExpectedTossed> expectTossed(std::uint64_t from, const std::vector<std::uint64_t>& bucketEnds,
                                         std::span<const Uint128> sharps, const ModelSettings& settings) {
    std::vector<Span> spans;
    double low = static_cast<double>(from);
    for (const std::uint64_t end : bucketEnds) {
        spans.push_back({low, static_cast<double>(end)});
        low = std::max(low, static_cast<double>(end));
    }
    return expectOver(spans, true, sharps, settings);
}

std::vector<ExpectedTossed> expectTossedInWindows(const std::vector<std::pair<Uint128, Uint128>>& windows,
                                                  std::span<const Uint128> sharps, const ModelSettings& settings) {
    std::vector<Span> spans;
    for (const auto& [from, to] : windows) {
        Span span{static_cast<double>(from), static_cast<double>(to)};
        // Past 2^64 a window's width is kept apart: there its ends may be one double.
        if (to >= kTwoTo64) span.width = static_cast<double>(to - from);
        spans.push_back(span);
    }
    return expectOver(spans, false, sharps, settings);
}

}  // namespace sharp::survey
