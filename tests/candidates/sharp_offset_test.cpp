#include "candidates/sharp_offset.hpp"

#include <gtest/gtest.h>

#include "candidates/prime_list.hpp"
#include "support/captured_run.hpp"

namespace sharp {
namespace {

using test::CapturedRun;

TEST(OffsetOf, DistanceInTwosComplement) {
    struct Case {
        std::uint32_t candidate, sharp, offset;
    };
    const Case cases[] = {
        {23, 30, 7},
        {29, 30, 1},
        {23, 3216213000u, 1078754319u},
        {3000000001u, 2, 1294967297u},
        {2147483650u, 2, 2147483648u},  // distance 2^31: the turning point itself
        {2147483651u, 2, 2147483647u},  // distance 2^31 + 1 turns back
        {2, 2147483650u, 2147483648u},
        {2, 2147483651u, 2147483647u},
        {4200000000u, 0, 94967296u},
    };
    for (const Case& c : cases) EXPECT_EQ(offsetOf(c.candidate, c.sharp), c.offset) << c.candidate << " " << c.sharp;
}

// The prime list as a run builds it up to (not including) `candidate`.
std::unique_ptr<CapturedRun> runUpTo(std::uint32_t candidate) {
    auto run = std::make_unique<CapturedRun>(candidate - 1);
    if (candidate > kFirstCandidate) run->runLoop();
    run->context().candidate = candidate;
    return run;
}

TEST(ScanSharps, HitSlotsOfTheFirstCandidates) {
    const std::pair<std::uint32_t, std::size_t> cases[] = {
        {23, 76}, {29, 76}, {31, 75}, {59, 75}, {61, 75}, {97, 74}, {103, 75},
    };
    for (const auto& [candidate, slot] : cases) {
        auto run = runUpTo(candidate);
        EXPECT_EQ(findHitSlot(run->context(), candidate), slot) << candidate;
        EXPECT_EQ(scanSharps(run->context()), SieveOutcome::hit);
        EXPECT_TRUE(run->context().sieveHit);
    }
}

// The scan as the conjecture states it: every slot, every offset, a walk over the list.
std::size_t referenceHitSlot(const RunContext& context, std::uint32_t candidate) {
    for (std::size_t slot = 1; context.sharpTable[slot] != 0; ++slot) {
        const std::uint32_t offset = offsetOf(candidate, context.sharpTable[slot]);
        if (offset > candidate) continue;
        if (offset == 1) return slot;
        for (std::uint32_t k = 1; k <= kLastPrimeSlot && context.Pr[k] != 0; ++k) {
            if (context.Pr[k] == offset) return slot;
        }
    }
    return 0;
}

TEST(ScanSharps, AgreesWithTheLiteralScan) {
    CapturedRun run(20000);
    run.runLoop();
    const RunContext& context = run.context();
    // Candidates the run reached, others it never tests, and candidates beyond 2^31
    // whose offsets wrap around and pass the end of the lookup bitmap.
    std::vector<std::uint32_t> candidates;
    for (std::uint32_t c = 23; c < 20000; c += 2) candidates.push_back(c);
    for (std::uint32_t c : {2147483647u, 2147483649u, 2147483651u, 3216213001u, 3216212999u, 3216232999u,
                            4199999999u, 4294967295u, 1078754319u, 33554431u, 33554433u}) {
        candidates.push_back(c);
    }
    for (std::uint32_t c : candidates) EXPECT_EQ(findHitSlot(context, c), referenceHitSlot(context, c)) << c;
}

TEST(ScanSharps, OnlyOffsetOneHitsAnEmptyList) {
    auto context = buildRunContext(-1);
    context->candidate = 23;
    EXPECT_EQ(scanSharps(*context), SieveOutcome::tossed);
    EXPECT_FALSE(context->sieveHit);
    context->candidate = 29;
    EXPECT_EQ(scanSharps(*context), SieveOutcome::hit);
    EXPECT_EQ(findHitSlot(*context, 29), 76u);
}

TEST(RecordTossed, LogsTheFirst39AndNotifiesTheFirst3) {
    CapturedRun run(0);
    std::string expectedLog;
    for (std::uint32_t i = 1; i <= 40; ++i) {
        run.context().candidate = 1000 + 2 * i;
        recordTossed(run.context());
        if (i <= 39) expectedLog += "rooh = " + std::to_string(1000 + 2 * i) + "\n";
    }
    EXPECT_EQ(run.context().tossedCount, 40u);
    EXPECT_EQ(run.primality(), expectedLog);
    EXPECT_EQ(run.console(), "rooh debug! \nrooh debug! \nrooh debug! \n");
}

TEST(RecordTossed, TossedEndCandidateGetsTheCompositeLinesOnly) {
    CapturedRun run(1001);
    run.context().candidate = 1001;
    recordTossed(run.context());
    reportComposite(run.context(), 1);
    EXPECT_EQ(run.console(), "rooh debug! \nnumber is composite  1  0  0\n");
    EXPECT_EQ(run.primality(), "rooh = 1001\nnumber is composite  1  0  0\n");
    EXPECT_EQ(run.sfp(), "");
    EXPECT_EQ(run.context().falsePrimeCount, 0u);
}

}  // namespace
}  // namespace sharp
