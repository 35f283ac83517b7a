#include "console/ChoiceVariable.h"

#include <sstream>

#include <gtest/gtest.h>

namespace Halvo {
namespace {

// A choice variable takes one of its words, bare or after "=", refuses anything else (leaving its
// value), and shows its value when typed alone.
TEST(ChoiceVariable, TakesOnlyItsWords) {
    Console::ChoiceVariable filter("s_filter", {"flat", "famicom", "nes"}, "flat");
    const auto run = [&](const std::string& line) {
        std::istringstream arguments(line);
        std::ostringstream out;
        const bool accepted = filter.Execute(arguments, out);
        return std::make_pair(accepted, out.str());
    };
    EXPECT_EQ(run("nes"), std::make_pair(true, std::string()));
    EXPECT_EQ(filter.value, "nes");
    EXPECT_TRUE(run("= famicom").first);
    EXPECT_EQ(filter.value, "famicom");
    EXPECT_FALSE(run("loud").first);
    EXPECT_FALSE(run("=").first);
    EXPECT_FALSE(run("flat nes").first);
    EXPECT_EQ(filter.value, "famicom");
    EXPECT_EQ(run(""), std::make_pair(true, std::string("s_filter is famicom\n")));
}

} // namespace
} // namespace Halvo
