#pragma once

#include <functional>
#include <string>

#include "console/ChoiceVariable.h"

namespace Halvo {

// "nes_timing": the machine's timing model, "line" (whole instructions, the PPU a tile at a time) or
// "exact" (every bus cycle and every PPU dot). A machine keeps the model it was built with; a new
// choice takes effect when a game is loaded or hard-reset, and the console says so when a game runs.
class TimingVariable : public Console::ChoiceVariable {
public:
    explicit TimingVariable(std::function<bool()> gameRunning)
        : ChoiceVariable("nes_timing", {"line", "exact"}, "line"), gameRunning(std::move(gameRunning)) {}

    bool Execute(std::istream& arguments, std::ostream& out) override;

    // The processor kind a machine is built with for the present choice.
    const char* CpuKind() const { return value == "exact" ? "Exact" : "Static"; }

private:
    std::function<bool()> gameRunning;
};

} // namespace Halvo
