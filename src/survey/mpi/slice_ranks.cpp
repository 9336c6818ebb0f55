#include "survey/mpi/slice_ranks.hpp"

#include <mpi.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <limits>
#include <stdexcept>
#include <string>

#include "survey/ledger/record_log.hpp"
#include "survey/ledger/slice_handouts.hpp"

namespace sharp::survey::mpi {

namespace {

// Message tags: a rank asks for a slice, rank 0 assigns one (or -1: none left),
// a rank sends a finished slice's record line, a rank says it is done.
constexpr int kAsk = 1;
constexpr int kAssign = 2;
constexpr int kRecord = 3;
constexpr int kDone = 4;

constexpr int kCoordinator = 0;

// How long rank 0's coordinator sleeps when no message is waiting: short next to a slice.
constexpr std::chrono::milliseconds kPollInterval{1};

// No slice left.
constexpr std::int64_t kNoSlice = -1;

[[noreturn]] void abortJob(const std::string& message) {
    std::fprintf(stderr, "sharp-survey: %s\n", message.c_str());
    MPI_Abort(MPI_COMM_WORLD, 1);
    std::abort();
}

}  // namespace

std::optional<Piece> RemoteSlices::next() {
    MPI_Send(nullptr, 0, MPI_CHAR, kCoordinator, kAsk, MPI_COMM_WORLD);
    std::int64_t slice = kNoSlice;
    MPI_Recv(&slice, 1, MPI_INT64_T, kCoordinator, kAssign, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
    if (slice == kNoSlice) return std::nullopt;
    return pieceOf_(static_cast<std::uint64_t>(slice));
}

namespace {

// A record line to rank 0: a part of a tossed list or a record, kTossedPerLine
// candidates at most, so that its length always fits a message's count.
void sendRecord(const SliceRecord& record) {
    const std::string line = formatRecord(record);
    if (line.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        throw std::length_error("a slice record too long for one message");
    }
    MPI_Send(line.data(), static_cast<int>(line.size()), MPI_CHAR, kCoordinator, kRecord, MPI_COMM_WORLD);
}

}  // namespace

void RemoteSlices::tossedPart(SliceRecord part) { sendRecord(part); }

void RemoteSlices::finished(SliceRecord record) { sendRecord(record); }

void RemoteSlices::done() { MPI_Send(nullptr, 0, MPI_CHAR, kCoordinator, kDone, MPI_COMM_WORLD); }

void SliceCoordinator::serve(SliceExchange& ledger) {
    thread_ = std::thread([this, &ledger] { run(ledger); });
}

void SliceCoordinator::awaitOthers() {
    if (thread_.joinable()) thread_.join();
}

void SliceCoordinator::stop() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
}

void SliceCoordinator::run(SliceExchange& ledger) {
    SliceHandouts handouts;
    try {
        for (int active = ranks_ - 1; active > 0 && !stopping_;) {
            // A blocking probe spins on a core that rank 0's own workers need: poll and sleep instead.
            MPI_Status status;
            int arrived = 0;
            MPI_Iprobe(MPI_ANY_SOURCE, MPI_ANY_TAG, MPI_COMM_WORLD, &arrived, &status);
            if (!arrived) {
                std::this_thread::sleep_for(kPollInterval);
                continue;
            }
            int size = 0;
            MPI_Get_count(&status, MPI_CHAR, &size);
            std::string message(static_cast<std::size_t>(size), '\0');
            MPI_Recv(message.data(), size, MPI_CHAR, status.MPI_SOURCE, status.MPI_TAG, MPI_COMM_WORLD,
                     MPI_STATUS_IGNORE);
            if (status.MPI_TAG == kAsk) {
                const std::optional<Piece> piece = ledger.next();
                const std::int64_t slice = piece ? static_cast<std::int64_t>(piece->id) : kNoSlice;
                if (piece) handouts.handed(piece->id, status.MPI_SOURCE);
                MPI_Send(&slice, 1, MPI_INT64_T, status.MPI_SOURCE, kAssign, MPI_COMM_WORLD);
            } else if (status.MPI_TAG == kRecord) {
                if (!message.empty()) message.pop_back();  // the line's '\n'
                std::optional<SliceRecord> record = parseRecord(message);
                const std::string from = "rank " + std::to_string(status.MPI_SOURCE);
                if (!record) abortJob(from + " sent a damaged slice record");
                const bool handed = record->isPart ? handouts.holds(record->slice, status.MPI_SOURCE)
                                                   : handouts.takeBack(record->slice, status.MPI_SOURCE);
                if (!handed) {
                    abortJob(from + " sent a record of slice " + std::to_string(record->slice) +
                             ", which rank 0 did not hand it");
                }
                try {
                    // Checked there before it is written.
                    if (record->isPart) {
                        ledger.tossedPart(std::move(*record));
                    } else {
                        ledger.finished(std::move(*record));
                    }
                } catch (const StateError& ownFailure) {
                    abortJob(ownFailure.what());  // rank 0's own disk, not the sender's fault
                } catch (const std::exception& misfit) {
                    abortJob(from + ": " + misfit.what());
                }
            } else if (status.MPI_TAG == kDone) {
                --active;
            }
        }
    } catch (const std::exception& failure) {
        abortJob(failure.what());
    }
}

}  // namespace sharp::survey::mpi
