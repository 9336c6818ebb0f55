#include "stats/summary.hpp"

#include <cmath>

namespace sharp {

namespace {

// Counters convert exactly, as unsigned values, before the division.
double ratio(std::uint32_t part, std::uint32_t whole) {
    return static_cast<double>(part) / static_cast<double>(whole);
}

}  // namespace

std::uint32_t clockTicks() { return static_cast<std::uint32_t>(std::clock()); }

std::int32_t theoryCount(std::uint32_t n) {
    const double value = static_cast<double>(n);
    // Held in single precision on purpose: 74069.9988 for N = 1001387 becomes 74070.
    const float theoryEstimate = static_cast<float>(value * kTheoryFactor / std::log(value));
    return static_cast<std::int32_t>(theoryEstimate);
}

void fillTimeMark(char (&mark)[kMarkSize], std::time_t when) {
    mark[0] = '\0';
    std::tm local{};
    if (localtime_r(&when, &local) == nullptr) return;
    if (std::strftime(mark, kMarkSize, "%Y-%m-%d %H:%M:%S", &local) == 0) mark[0] = '\0';
}

void reportFinalSummary(RunContext& context) {
    const std::time_t endTime = std::time(nullptr);
    fillTimeMark(context.endMark, endTime);
    const double elapsedSeconds = std::difftime(endTime, context.beginTime);

    Channel& console = context.console;
    Channel& primality = context.primalityFile;
    Channel& jun20 = context.jun20File;
    const std::uint32_t n = context.candidate;

    const std::int32_t estimate = theoryCount(n);
    console << context.endMark << eol;
    console << "actual, theory = " << n << "  " << context.primeCount << "  vs  " << estimate << eol;
    console << "elapsed ticks= " << elapsedSeconds << eol;
    primality << "elapsed ticks= " << elapsedSeconds << eol;
    console << "end ticks= " << clockTicks() << eol;
    primality << "end ticks= " << clockTicks() << eol;
    primality << "time marks:  " << context.startMark << "  " << context.endMark << eol;
    console << "time marks:  " << context.startMark << "  " << context.endMark << eol;
    primality << "N,actual,theory = " << n << "  " << context.primeCount << "  vs  " << estimate << eol;

    const double nonTrivialEstimate = kNonTrivialShare * static_cast<double>(n);
    console << "non-trivial candidates (40%)= " << nonTrivialEstimate << eol;
    primality << "non-trivial candidates (40%)= " << nonTrivialEstimate << eol;
    const double tossedRatio = static_cast<double>(context.tossedCount) / nonTrivialEstimate;
    console << "conjecture-tossed (cnt) = " << context.tossedCount << "   " << tossedRatio << eol;
    primality << "conjecture-tossed (cnt) = " << context.tossedCount << "   " << tossedRatio << eol;

    const std::uint32_t verdictCount = context.truePrimeCount + context.falsePrimeCount;
    const double falsePrimeRatio = verdictCount != 0 ? ratio(context.falsePrimeCount, verdictCount) : 0.0;
    if (verdictCount != 0) jun20 << " % FP post sieve = " << falsePrimeRatio << eol;
    if (context.truePrimeCount != 0) {
        const double jun18TpRatio = ratio(context.jun18TpCount, context.truePrimeCount);
        jun20 << "Jun 18 test tp % = " << jun18TpRatio << eol;
        console << "Jun 18 test tp % = " << jun18TpRatio << eol;
    }
    if (context.falsePrimeCount != 0) {
        const double jun18FpRatio = ratio(context.jun18FpCount, context.falsePrimeCount);
        jun20 << "Jun 18 test fp % = " << jun18FpRatio << eol;
        console << "Jun 18 test fp % = " << jun18FpRatio << eol;
    }
    // A run always has sieve hits (23 is one); without any the ratio shows as 0.
    const double exceptionRatio =
        context.sievePrimeCount != 0 ? ratio(context.exceptionCount, context.sievePrimeCount) : 0.0;
    for (Channel* channel : {&jun20, &console}) {
        *channel << "total sieve primes, xceptions = " << context.sievePrimeCount << "  " << context.exceptionCount
                 << "   " << exceptionRatio << eol;
    }
    jun20 << eol;
    if (verdictCount != 0) console << " % FP post sieve = " << falsePrimeRatio << eol;
}

void dumpPrimeList(RunContext& context) {
    Channel& mylist = context.mylistFile;
    if (!mylist.isOpen()) return;
    for (std::uint32_t slot = 1; slot <= kLastPrimeSlot && context.Pr[slot] != 0; ++slot) {
        mylist << slot << "    " << context.Pr[slot] << eol;
    }
}

}  // namespace sharp
