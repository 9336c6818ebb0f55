#include "run/run_sequence.hpp"

#include <cstdio>
#include <ctime>

#include "candidates/prime_list.hpp"
#include "candidates/sharp_offset.hpp"
#include "candidates/wheel.hpp"
#include "stats/progress.hpp"
#include "stats/summary.hpp"

namespace sharp {

namespace {

void listSharpTable(RunContext& context) {
    for (std::size_t slot = 1; slot < kSharpSlots; ++slot) context.console << context.sharpTable[slot] << eol;
}

void startRun(RunContext& context) {
    context.beginTime = std::time(nullptr);
    fillTimeMark(context.startMark, context.beginTime);
    context.console << "bgn ticks= " << clockTicks() << eol;
    context.console << context.startMark << eol;
    context.candidate = kFirstCandidate;
    seedPrimeList(context);
    openReportFiles(context);
    context.primalityFile << "bgn ticks= " << clockTicks() << eol;
}

void closeReportFiles(RunContext& context) {
    for (Channel* file :
         {&context.primalityFile, &context.mylistFile, &context.jun20File, &context.stpFile, &context.sfpFile}) {
        file->close();
    }
}

}  // namespace

void openReportFiles(RunContext& context) {
    // A file that cannot be opened changes nothing on standard output; its channel
    // names it on standard error and drops its lines.
    context.primalityFile.open(kPrimalityPath);
    context.mylistFile.open(kMylistPath);
    context.jun20File.open(kJun20Path);
    context.stpFile.open(kStpPath);
    context.sfpFile.open(kSfpPath);
}

void runCandidateLoop(RunContext& context) {
    do {
        reportProgress(context);
        if (scanSharps(context) == SieveOutcome::tossed) {
            recordTossed(context);
            // Nothing was divided: 1 divides every candidate and leaves remainder 0.
            reportComposite(context, 1);
        } else {
            ++context.sievePrimeCount;
            if (isPrimeCandidate(context, context.candidate)) {
                if (recordTruePrime(context) == Storage::full) return;
            } else {
                // Only the end candidate's verdict names a divisor: the first listed prime
                // that divides it, found by dividing this one candidate up to its root bound.
                if (context.candidate == context.endCandidate) {
                    reportComposite(context, trialDivide(context, context.candidate, computeRootBound(context.candidate)));
                }
                recordFalsePrime(context);
            }
        }
        context.candidate = nextCandidate(context.candidate);
        reportMilestones(context);
        context.previousCandidate = context.candidate;
    } while (context.candidate <= context.endCandidate);
}

int runSharpPrimes(RunContext& context, InputReader& input) {
    listSharpTable(context);
    const std::optional<std::uint32_t> endCandidate = readEndCandidate(context.console, input);
    if (!endCandidate) {
        std::fputs("sharp-primes: no end candidate on standard input\n", stderr);
        return kExitNoEndCandidate;
    }
    context.endCandidate = *endCandidate;
    startRun(context);
    runCandidateLoop(context);
    reportFinalSummary(context);
    dumpPrimeList(context);
    closeReportFiles(context);
    context.console << R"(output is at  c:\primes\primality.txt , c:\primes\mylist.txt   and  c:\primes\Jun20.txt )"
                    << eol;
    waitForKey(input);
    return kExitDone;
}

}  // namespace sharp
