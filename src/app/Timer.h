#pragma once

#include "ref/Object.h"

namespace Halvo::App {

// Measures the time between turns of the main loop.
class Timer : public Ref::Object {
public:
    // Takes the time; frameTime becomes the seconds since the previous call (0 after the first).
    virtual void Update() = 0;

    float frameTime = 0.0f;
};

} // namespace Halvo::App
