// sharp-survey for MPI jobs: `mpirun -n R sharp-survey ...` spreads the slices over
// R ranks, each with its threads; rank 0 gathers them and alone writes the outputs,
// byte for byte those of a one-process run.
#include <fcntl.h>
#include <mpi.h>
#include <unistd.h>

#include <cstdio>
#include <variant>

#include "survey/program/survey_program.hpp"
#include "survey/program/cli.hpp"
#include "survey/mpi/slice_ranks.hpp"
#include "survey/ledger/checkpoints.hpp"
#include "survey/ledger/slices.hpp"

namespace {

using namespace sharp::survey;

// A rank other than 0: tests the slices rank 0 hands out.
int runWorkerRank(const SurveyRequest& request) {
    const SliceLayout layout = SliceLayout::forRange(request.from, request.to);
    mpi::RemoteSlices remote(layout);
    try {
        runSlices(planSurvey(request.from, request.to, request.threads), remote);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "sharp-survey: %s\n", failure.what());
        MPI_Abort(MPI_COMM_WORLD, 1);
    }
    remote.done();
    return 0;
}

int runCoordinatorRank(const SurveyRequest& request, int ranks) {
    mpi::SliceCoordinator coordinator(ranks);
    SliceSharing sharing;
    sharing.serve = [&](SliceExchange& ledger) { coordinator.serve(ledger); };
    sharing.awaitOthers = [&] { coordinator.awaitOthers(); };
    const int status = runSurveyProgram(request, sharing);
    // A refusal or a failure leaves the other ranks waiting for slices: end the job.
    if (status != 0) MPI_Abort(MPI_COMM_WORLD, status);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    int provided = 0;
    MPI_Init_thread(&argc, &argv, MPI_THREAD_SERIALIZED, &provided);
    if (provided < MPI_THREAD_SERIALIZED) {
        std::fputs("sharp-survey: this MPI library cannot serve calls from several threads\n", stderr);
        MPI_Abort(MPI_COMM_WORLD, 1);
    }
    int rank = 0, ranks = 1;
    MPI_Comm_rank(MPI_COMM_WORLD, &rank);
    MPI_Comm_size(MPI_COMM_WORLD, &ranks);
    // Every rank reads the same command line; only rank 0 says what is wrong with it.
    const int savedErrors = rank == 0 ? -1 : dup(STDERR_FILENO);
    if (savedErrors >= 0) {
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, STDERR_FILENO);
        close(quiet);
    }
    const auto request = parseSurveyArguments(argc, argv);
    if (savedErrors >= 0) {
        dup2(savedErrors, STDERR_FILENO);
        close(savedErrors);
    }
    if (const int* status = std::get_if<int>(&request)) {
        MPI_Finalize();
        return *status;
    }
    const auto& survey = std::get<SurveyRequest>(request);
    const int status = rank == 0 ? runCoordinatorRank(survey, ranks) : runWorkerRank(survey);
    MPI_Finalize();
    return status;
}
