#pragma once

#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HeadlessRunner.h"

namespace Halvo::TestSupport {

// halvo-run's command line run in the test's process: the arguments must parse; what it prints goes to
// `out` and `err`, emptied first. Gives the exit code.
inline int RunRunner(const std::vector<std::string>& arguments, std::ostringstream& out,
                     std::ostringstream& err) {
    Tools::RunnerOptions options;
    std::string error;
    EXPECT_TRUE(Tools::ParseRunnerOptions(arguments, options, error)) << error;
    out.str("");
    err.str("");
    return Tools::RunHeadless(options, out, err);
}

} // namespace Halvo::TestSupport
