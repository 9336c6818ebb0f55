// The slices of a survey over the ranks of an MPI job: rank 0 hands them out as the
// other ranks ask (a fast rank takes more) and gathers their records; only rank 0
// writes anything. Built only with -DSHARP_MPI=ON.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <thread>

#include "survey/ledger/slice_exchange.hpp"

namespace sharp::survey::mpi {

// On a rank other than 0: asks rank 0 for slices (or a heights survey's windows)
// and sends it each finished one.
class RemoteSlices : public SliceExchange {
public:
    // `pieceOf` makes the piece of a slice from its id.
    explicit RemoteSlices(std::function<Piece(std::uint64_t)> pieceOf) : pieceOf_(std::move(pieceOf)) {}
    std::optional<Piece> next() override;
    void tossedPart(SliceRecord part) override;
    void finished(SliceRecord record) override;
    // Tells rank 0 that this rank has sent its last record.
    void done();

private:
    std::function<Piece(std::uint64_t)> pieceOf_;
};

// On rank 0: a thread that serves the other ranks from the ledger until each of them is done.
class SliceCoordinator {
public:
    explicit SliceCoordinator(int ranks) : ranks_(ranks) {}
    ~SliceCoordinator() { stop(); }
    void serve(SliceExchange& ledger);
    // Returns once every other rank is done.
    void awaitOthers();
    // Stops serving at once (the survey failed) and returns when the thread is gone.
    void stop();

private:
    void run(SliceExchange& ledger);

    const int ranks_;
    std::atomic<bool> stopping_ = false;
    std::thread thread_;
};

}  // namespace sharp::survey::mpi
