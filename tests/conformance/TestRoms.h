#pragma once

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "HeadlessRunner.h"

namespace Halvo::TestSupport {

inline const std::filesystem::path TestRoms = HALVO_TESTROMS_DIR;

// Skips the test when the test programs are not beside the repository.
#define HALVO_REQUIRE_TEST_ROM(path)                                                                         \
    if (!std::filesystem::exists(path)) {                                                                    \
        GTEST_SKIP() << (path) << " is not there: the test programs of ../shared/testroms are needed";       \
    }

// Runs a test program until its result protocol answers or `maxFrames` have run, in steps of 30.
inline Tools::TestResult RunUntilResult(Tools::HeadlessMachine& machine, std::uint32_t maxFrames) {
    Tools::TestResult result;
    machine.answerResetRequests = true;
    while (machine.framesRun < maxFrames) {
        machine.RunFrames(30);
        result = Tools::JudgeTestResult(*machine.process);
        if (result.verdict != Tools::ExitUnknown) {
            break;
        }
    }
    return result;
}

} // namespace Halvo::TestSupport
