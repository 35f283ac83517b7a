#include "console/ReportedCreate.h"

#include <memory>
#include <stdexcept>

#include <gtest/gtest.h>

#include "support/ConsoleCapture.h"

namespace Halvo {
namespace {

using Lines = std::vector<std::string>;

std::unique_ptr<int> Make(int kind) {
    return Console::CreateOrReport("Halvo::Nes::Thing::Create", 12, "Could not create Nes::Thing--",
                                   "Could not create Nes::Thing--unknown exception.", [kind] {
                                       switch (kind) {
                                       case 1:
                                           throw std::runtime_error("broken");
                                       case 2:
                                           throw std::bad_alloc();
                                       case 3:
                                           throw 42;
                                       default:
                                           return std::make_unique<int>(7);
                                       }
                                   });
}

TEST(ReportedCreate, TurnsConstructorExceptionsIntoReports) {
    TestSupport::ConsoleCapture capture;
    EXPECT_EQ(*Make(0), 7);
    EXPECT_TRUE(capture.Lines().empty());

    EXPECT_EQ(Make(1), nullptr);
    EXPECT_EQ(capture.ErrorLines(),
              (Lines{"[Halvo::Nes::Thing::Create][12] Error: Could not create Nes::Thing--broken"}));

    capture.Clear();
    EXPECT_THROW(Make(2), std::bad_alloc);
    EXPECT_EQ(capture.ErrorLines().size(), 1u);

    capture.Clear();
    EXPECT_THROW(Make(3), int);
    EXPECT_EQ(
        capture.ErrorLines(),
        (Lines{"[Halvo::Nes::Thing::Create][12] Error: Could not create Nes::Thing--unknown exception."}));
}

} // namespace
} // namespace Halvo
