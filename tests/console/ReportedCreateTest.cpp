#include "console/ReportedCreate.h"

#include <memory>
#include <stdexcept>

#include <gtest/gtest.h>

#include "support/ConsoleCapture.h"

namespace Halvo {
namespace {

template <class Thrown>
std::unique_ptr<int> MakeThrowing(Thrown thrown) {
    return Console::CreateOrReport("Op", 12, "No thing--", "No thing--unknown exception.",
                                   [&]() -> std::unique_ptr<int> { throw thrown; });
}

TEST(ReportedCreate, TurnsConstructorExceptionsIntoReports) {
    TestSupport::ConsoleCapture capture;
    EXPECT_EQ(*Console::CreateOrReport("Op", 12, "", "", [] { return std::make_unique<int>(7); }), 7);
    EXPECT_EQ(MakeThrowing(std::runtime_error("broken")), nullptr);
    // Running out of memory, and anything that is not a standard exception, is reported and thrown on.
    EXPECT_THROW(MakeThrowing(std::bad_alloc()), std::bad_alloc);
    EXPECT_THROW(MakeThrowing(42), int);
    EXPECT_EQ(capture.ErrorLines(),
              (std::vector<std::string>{"[Op][12] Error: No thing--broken",
                                        "[Op][12] Error: No thing--std::bad_alloc",
                                        "[Op][12] Error: No thing--unknown exception."}));
}

} // namespace
} // namespace Halvo
