// libFuzzer harness for the state-file reader: any bytes as a state file must be
// loaded or refused with a StateError, never crash, hang or hand on a record that
// does not fit the survey.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "survey/ledger/checkpoints.hpp"
#include "survey/ledger/record_check.hpp"
#include "survey/ledger/slice_book.hpp"
#include "survey/ledger/state_file.hpp"

namespace {

using namespace sharp::survey;

// A small survey whose header the seeds start with: [0, 10^9].
constexpr std::uint64_t kTo = 1'000'000'000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const SurveyPlan plan = planSurvey(0, kTo, 1);
    static const SliceLayout layout = SliceLayout::forRange(0, kTo);
    // Files that keep whole tossed lists in parts, or only each slice's first candidates.
    static const StateHeaders headers = stateHeadersFor(
        TossedKept::first, [](TossedKept kept) { return stateHeader(0, kTo, layout, plan.bucketEnds, {}, kept); },
        formerStateHeader(0, kTo, layout, plan.bucketEnds.size()));
    const int fd = memfd_create("state", MFD_CLOEXEC);
    if (fd < 0 || write(fd, data, size) != static_cast<ssize_t>(size)) std::abort();
    try {
        SliceBook book(plan, layout);
        const StateFile state(
            "/proc/self/fd/" + std::to_string(fd), headers,
            [&](std::size_t index) { book.setKept(keptByHeader(TossedKept::first, index)); },
            [&](const SliceRecord& record) { return book.misfit(record); },
            [&](const SliceRecord& record, LineSpan span) {
                if (book.misfit(record)) std::abort();  // a misfit went through
                book.recordLoaded(record, span);
            });
    } catch (const StateError&) {
        // refused: as it should be for most inputs
    }
    close(fd);
    return 0;
}
