// sharp-survey for MPI jobs: `mpirun -n R sharp-survey ...` spreads the slices over
// R ranks, each with its threads; rank 0 gathers them and alone writes the outputs,
// byte for byte those of a one-process run.
#include <fcntl.h>
#include <mpi.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <string>
#include <variant>
#include <vector>

#include "survey/ledger/checkpoints.hpp"
#include "survey/ledger/slices.hpp"
#include "survey/mpi/slice_ranks.hpp"
#include "survey/program/explain_program.hpp"
#include "survey/program/cli.hpp"
#include "survey/program/heights_program.hpp"
#include "survey/program/standard_streams.hpp"
#include "survey/program/survey_program.hpp"
#include "survey/survey_constants.hpp"

namespace {

using namespace sharp::survey;

constexpr int kCoordinator = 0;

// Characters of a survey identity: the 16 hex digits of a checksum.
constexpr int kIdentitySize = 16;

// A rank other than 0: tests the slices rank 0 hands out.
int runWorkerRank(const SurveyRequest& request) {
    const SliceLayout layout = SliceLayout::forRange(request.from, request.to);
    mpi::RemoteSlices remote([&](std::uint64_t id) { return layout.piece(id); });
    try {
        SurveyPlan plan = planSurvey(request.from, request.to, request.threads, request.cpus);
        plan.sharps = &request.sharpSet();
        runSlices(plan, remote);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "sharp-survey: %s\n", failure.what());
        MPI_Abort(MPI_COMM_WORLD, kExitFailed);
    }
    remote.done();
    return 0;
}

// A rank other than 0 of a heights survey: surveys the windows rank 0 hands out.
int runHeightsWorkerRank(const SurveyRequest& request) {
    mpi::RemoteSlices remote([](std::uint64_t id) { return Piece{id, 0, 0}; });
    try {
        surveyHandedWindows(windowsOf(request), request, remote);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "sharp-survey: %s\n", failure.what());
        MPI_Abort(MPI_COMM_WORLD, kExitFailed);
    }
    remote.done();
    return 0;
}

int runCoordinatorRank(const SurveyRequest& request, int ranks) {
    mpi::SliceCoordinator coordinator(ranks);
    SliceSharing sharing;
    sharing.serve = [&](SliceExchange& ledger) { coordinator.serve(ledger); };
    sharing.awaitOthers = [&] { coordinator.awaitOthers(); };
    sharing.stop = [&] { coordinator.stop(); };
    const int status =
        request.heightsPath.empty() ? runSurveyProgram(request, sharing) : runHeightsProgram(request, sharing);
    // A refusal or a failure leaves the other ranks waiting for slices: end the job.
    if (status != 0) MPI_Abort(MPI_COMM_WORLD, status);
    return status;
}

// Every rank's status of reading the command line, agreed on: the worst of them.
int agreedStatus(int status) {
    int worst = 0;
    MPI_Allreduce(&status, &worst, 1, MPI_INT, MPI_MAX, MPI_COMM_WORLD);
    return worst;
}

// Rank 0 compares every rank's survey identity with its own; true for all ranks
// when they agree. A rank built or started otherwise is named, not summed in.
bool identitiesAgree(const SurveyRequest& request, int rank, int ranks) {
    std::string identity = request.heightsPath.empty() ? surveyIdentity(request) : heightsIdentity(request);
    identity.resize(kIdentitySize, ' ');
    std::vector<char> all(rank == kCoordinator ? static_cast<std::size_t>(ranks) * kIdentitySize : 0);
    MPI_Gather(identity.data(), kIdentitySize, MPI_CHAR, all.data(), kIdentitySize, MPI_CHAR, kCoordinator,
               MPI_COMM_WORLD);
    int agree = 1;
    if (rank == kCoordinator) {
        for (int other = 1; other < ranks && agree; ++other) {
            const std::string theirs(all.data() + static_cast<std::size_t>(other) * kIdentitySize, kIdentitySize);
            if (theirs == identity) continue;
            std::fprintf(stderr, "sharp-survey: rank %d runs another build or survey (%s against rank 0's %s); refusing it\n",
                         other, theirs.c_str(), identity.c_str());
            agree = 0;
        }
    }
    MPI_Bcast(&agree, 1, MPI_INT, kCoordinator, MPI_COMM_WORLD);
    return agree != 0;
}

// Reads the command line on every rank and runs this rank's part: the exit status.
int runRank(int argc, char** argv, int rank, int ranks) {
    // Every rank reads the same command line; only rank 0 says what is wrong with it.
    const int savedErrors = rank == kCoordinator ? -1 : dup(STDERR_FILENO);
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
    // --help, --version and bad input end every rank the same way: 0 to go on, 1 for
    // an answered --help or --version, 1 + the exit status of a refusal.
    const int* early = std::get_if<int>(&request);
    const int own = early ? 1 + *early : 0;
    const int agreed = agreedStatus(own);
    if (agreed != 0) {
        if (rank == kCoordinator && own == 0) {
            std::fputs("sharp-survey: another rank could not read the command line; refusing\n", stderr);
        }
        return agreed - 1;
    }
    const auto& survey = std::get<SurveyRequest>(request);
    if (survey.explain) return rank == kCoordinator ? runExplainProgram(*survey.explain, survey.sharpSet()) : 0;
    if (survey.heightsPath.empty() && survey.wideTo >= kTwoTo64) {
        if (rank == kCoordinator) {
            std::fputs("sharp-survey: past 2^64 a range runs in the plain build; --heights windows run here too\n", stderr);
        }
        return kExitBadInput;
    }
    if (!identitiesAgree(survey, rank, ranks)) return kExitBadInput;
    if (rank == kCoordinator) return runCoordinatorRank(survey, ranks);
    return survey.heightsPath.empty() ? runWorkerRank(survey) : runHeightsWorkerRank(survey);
}

}  // namespace

int main(int argc, char** argv) {
    reserveStandardStreams();
    int provided = 0;
    MPI_Init_thread(&argc, &argv, MPI_THREAD_SERIALIZED, &provided);
    if (provided < MPI_THREAD_SERIALIZED) {
        std::fputs("sharp-survey: this MPI library cannot serve calls from several threads\n", stderr);
        MPI_Abort(MPI_COMM_WORLD, kExitFailed);
    }
    int rank = 0, ranks = 1;
    MPI_Comm_rank(MPI_COMM_WORLD, &rank);
    MPI_Comm_size(MPI_COMM_WORLD, &ranks);
    // Whatever escapes (no memory, a thread that cannot start) ends the job with one line.
    try {
        const int result = runRank(argc, argv, rank, ranks);
        MPI_Finalize();
        return result;
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "sharp-survey: rank %d: %s\n", rank, failure.what());
    } catch (...) {
        std::fprintf(stderr, "sharp-survey: rank %d: an unknown failure\n", rank);
    }
    MPI_Abort(MPI_COMM_WORLD, kExitFailed);
    return kExitFailed;
}
