#pragma once

namespace Halvo::Gfx {

// Writes the error report "[operation][line] Error: message" and, when SDL has said why, SDL's own text
// as a second error line. `line` is the reporting statement's (__LINE__ at the call).
void ReportSdlError(const char* operation, int line, const char* message);

} // namespace Halvo::Gfx
