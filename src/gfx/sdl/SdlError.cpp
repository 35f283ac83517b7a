#include "gfx/sdl/SdlError.h"

#include <SDL.h>

#include "console/System.h"

namespace Halvo::Gfx {

void ReportSdlError(const char* operation, int line, const char* message) {
    const char* reason = SDL_GetError();
    std::ostream& out = Console::ReportError(operation, line) << message;
    // Flushed together, both lines are error lines.
    if (reason && *reason) {
        out << '\n' << reason;
    }
    out << std::endl;
}

} // namespace Halvo::Gfx
