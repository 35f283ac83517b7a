// halvo-run: runs a NES cartridge image without a window.
//   halvo-run [OPTION]... [--] ROM      (halvo-run --help lists the options)
#include <iostream>

#include "HeadlessRunner.h"
#include "console/StopRequest.h"

int main(int argc, char** argv) {
    using namespace Halvo::Tools;
    RunnerOptions options;
    std::string error;
    if (!ParseRunnerOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::cerr << "halvo-run: " << error << "\n\n" << RunnerUsage() << std::flush;
        return ExitBadArguments;
    }
    if (options.help || options.version) {
        std::cout << (options.help ? RunnerUsage() : std::string("halvo-run ") + HALVO_VERSION + "\n")
                  << std::flush;
        return std::cout ? ExitPass : ExitFail;
    }
    // SIGINT and SIGTERM end the run between two frames, with its files finished.
    Halvo::Console::InstallStopSignalHandlers();
    return RunHeadless(options, std::cout, std::cerr);
}
