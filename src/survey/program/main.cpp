// sharp-survey: tests the sharp-number conjecture on every candidate of a 64-bit range.
#include <cstdio>
#include <exception>
#include <variant>

#include "survey/program/cli.hpp"
#include "survey/program/heights_program.hpp"
#include "survey/program/standard_streams.hpp"
#include "survey/program/survey_program.hpp"
#include "survey/survey_constants.hpp"

int main(int argc, char** argv) {
    sharp::survey::reserveStandardStreams();
    // Whatever escapes (no memory, a thread that cannot start) still ends with one line.
    try {
        const auto request = sharp::survey::parseSurveyArguments(argc, argv);
        if (const int* status = std::get_if<int>(&request)) return *status;
        const auto& survey = std::get<sharp::survey::SurveyRequest>(request);
        return survey.heightsPath.empty() ? sharp::survey::runSurveyProgram(survey)
                                          : sharp::survey::runHeightsProgram(survey);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "sharp-survey: %s\n", failure.what());
    } catch (...) {
        std::fputs("sharp-survey: an unknown failure\n", stderr);
    }
    return sharp::survey::kExitFailed;
}
