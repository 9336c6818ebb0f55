// How the model's expectation moves with its bound B and its samples, at the heights
// it is published for: [0, 10^12], [0, 10^13], a window of 2^30 at 10^18, the one
// ending at 2^64 - 1, and past 2^64 windows of 2^24 at 10^30 and ending at 2^128 - 1.
//   model_convergence [B ...]      (default 300 1200 4800)
//   SAMPLES=N: residue patterns drawn (default the model's); ABOVE=on or off: one of the two only.
// Prints, per height and B, the expected tossed primes and composites with their errors,
// with the primes above B taken as a whole (the model as published) and without.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "sharp/sharp_table.hpp"
#include "survey/model/tossed_model.hpp"

int main(int argc, char** argv) {
    using namespace sharp;
    using namespace sharp::survey;
    std::vector<std::uint32_t> bounds;
    for (int i = 1; i < argc; ++i) bounds.push_back(static_cast<std::uint32_t>(std::strtoul(argv[i], nullptr, 10)));
    if (bounds.empty()) bounds = {300, 1200, 4800};
    const Uint128 kTenTo30 = Uint128{1'000'000'000'000'000} * 1'000'000'000'000'000;
    const struct {
        const char* name;
        Uint128 from, to;
    } heights[] = {
        {"[0, 10^12]", 0, 1'000'000'000'000},
        {"[0, 10^13]", 0, 10'000'000'000'000},
        {"2^30 at 10^18", 1'000'000'000'000'000'000, 1'000'000'001'073'741'823},
        {"2^30 below 2^64", 18446744072635809792u, 18446744073709551615u},
        {"2^24 at 10^30", kTenTo30, kTenTo30 + ((1 << 24) - 1)},
        {"2^24 below 2^128", ~Uint128{0} - ((1 << 24) - 1), ~Uint128{0}},
    };
    std::printf("%-16s %6s %6s %24s %24s %8s\n", "height", "B", "above", "tossed primes", "tossed composites",
                "seconds");
    for (const auto& h : heights) {
        for (const std::uint32_t bound : bounds) {
          for (const bool above : {false, true}) {
            const char* only = std::getenv("ABOVE");
            if (only != nullptr && (std::string(only) == "on") != above) continue;
            ModelSettings settings;
            if (const char* samples = std::getenv("SAMPLES")) {
                settings.samples = static_cast<std::uint32_t>(std::strtoul(samples, nullptr, 10));
            }
            settings.smoothBound = bound;
            settings.aboveBound = above;
            const auto start = std::chrono::steady_clock::now();
            const ExpectedTossed e =
                h.to < kTwoTo64 ? expectTossed(static_cast<std::uint64_t>(h.from), {static_cast<std::uint64_t>(h.to)},
                                               kSharpsAscending, settings)
                                      .back()
                                : expectTossedInWindows({{h.from, h.to}}, kSharpsAscending, settings).back();
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            std::printf("%-16s %6u %6s %13.2f +- %7.2f %13.2f +- %7.2f %8.2f\n", h.name, bound, above ? "on" : "off",
                        e.primes, e.primesError, e.composites, e.compositesError, seconds);
            std::fflush(stdout);
          }
        }
    }
}
