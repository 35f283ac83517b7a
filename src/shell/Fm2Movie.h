#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "shell/Movie.h"

namespace Halvo {

// Reads an FCEUX movie (.fm2) of the text kind, recorded from power-on with standard pads in ports 0
// and 1: its header's key-value lines ("version 3" first) and then a line per frame,
// "|commands|pad 1|pad 2|port 2|", each pad eight characters in the order RLDUTSBA where ' ' or '.' is
// a button not pressed. Command bit 0 is a soft reset before the frame, bit 1 a hard reset. Refused with
// the reason in `error`: a binary input log, a movie that starts from a save state, a Four Score, a
// Zapper or expansion-port device, Disk System or VS commands. The game cannot be checked (the file names
// it by an MD5 digest), nor the timing model; the region is NTSC, or PAL with "palFlag 1".
bool ParseFm2(const std::vector<std::string_view>& lines, Movie& movie, std::string& error);

} // namespace Halvo
