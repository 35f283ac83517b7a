// halvo-run: runs a NES cartridge image without a window.
//   halvo-run ROM [--frames N] [--png FILE] [--text] [--peek ADDR] [--input FILE] [--result]
//             [--save-state FRAME FILE] [--load-state FILE]
#include <iostream>

#include "HeadlessRunner.h"

int main(int argc, char** argv) {
    using namespace Halvo::Tools;
    RunnerOptions options;
    std::string error;
    if (!ParseRunnerOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::cerr
            << "halvo-run: " << error << "\n"
            << "usage: halvo-run ROM [--frames N] [--png FILE] [--text] [--peek ADDR]... [--input FILE] "
               "[--wav FILE] [--save-dir DIR] [--result] [--save-state FRAME FILE] [--load-state FILE]\n";
        return ExitBadArguments;
    }
    return RunHeadless(options, std::cout, std::cerr);
}
