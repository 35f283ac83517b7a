#pragma once

#include <string>

#include "ref/Object.h"

namespace Halvo::App {

// A file chooser of the desktop, open while the player picks a file; the main loop asks it each turn
// whether the player is done.
class FileChooser : public Ref::Object {
public:
    enum class State {
        Waiting,   // the chooser is still open
        Chosen,    // the player picked `file`
        Cancelled, // the player closed the chooser without a file
        Failed,    // the desktop could not show one: `error` says why
    };

    // Handles what the desktop has sent since the last call, without waiting.
    virtual State Poll() = 0;

    // The local path a "file://" URI names, its %XX escapes decoded; false for any other URI.
    static bool PathOfFileUri(const std::string& uri, std::string& path);

    std::string file;
    std::string error;
    // The desktop took the request: its chooser is on the way.
    bool accepted = false;
};

} // namespace Halvo::App
