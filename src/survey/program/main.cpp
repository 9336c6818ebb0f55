// sharp-survey: tests the sharp-number conjecture on every candidate of a range up to 2^128 - 1.
#include <cstdio>
#include <exception>
#include <variant>

#include "survey/program/cli.hpp"
#include "survey/program/explain_program.hpp"
#include "survey/program/heights_program.hpp"
#include "survey/program/standard_streams.hpp"
#include "survey/program/survey_program.hpp"
#include "survey/program/wide_survey_program.hpp"
#include "survey/survey_constants.hpp"

int main(int argc, char** argv) {
    sharp::survey::reserveStandardStreams();
    // Whatever escapes (no memory, a thread that cannot start) still ends with one line.
    try {
        const auto request = sharp::survey::parseSurveyArguments(argc, argv);
        if (const int* status = std::get_if<int>(&request)) return *status;
        const auto& survey = std::get<sharp::survey::SurveyRequest>(request);
        if (survey.explain) return sharp::survey::runExplainProgram(*survey.explain, survey.sharpSet());
        if (!survey.heightsPath.empty()) return sharp::survey::runHeightsProgram(survey);
        if (survey.wideTo >= sharp::survey::kTwoTo64) return sharp::survey::runWideSurveyProgram(survey);
        return sharp::survey::runSurveyProgram(survey);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "sharp-survey: %s\n", failure.what());
    } catch (...) {
        std::fputs("sharp-survey: an unknown failure\n", stderr);
    }
    return sharp::survey::kExitFailed;
}
