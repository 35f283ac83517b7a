#pragma once

#include <cstdlib>

namespace Halvo::TestSupport {

// Points SDL at its headless display and software renderer, so that the SDL tests run without a screen
// (ctest sets the same for its runs; a test started by hand gets it here).
inline void UseHeadlessSdl() {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    setenv("SDL_RENDER_DRIVER", "software", 1);
}

} // namespace Halvo::TestSupport
