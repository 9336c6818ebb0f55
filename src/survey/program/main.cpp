// sharp-survey: tests the sharp-number conjecture on every candidate of a 64-bit range.
#include <variant>

#include "survey/program/survey_program.hpp"
#include "survey/program/cli.hpp"

int main(int argc, char** argv) {
    const auto request = sharp::survey::parseSurveyArguments(argc, argv);
    if (const int* status = std::get_if<int>(&request)) return *status;
    return sharp::survey::runSurveyProgram(std::get<sharp::survey::SurveyRequest>(request));
}
