#pragma once

#include "ref/Object.h"

namespace Halvo::App {

// Measures the time between turns of the main loop.
class Timer : public Ref::Object {
public:
    // Takes the time; frameTime becomes the seconds since the previous call (0 after the first), and
    // absoluteTime the seconds since the first call.
    virtual void Update() = 0;
    // Gives the processor back for about that long, when nothing else paces the main loop.
    virtual void Sleep(double seconds) { (void)seconds; }
    // The seconds since the first Update, now (absoluteTime is the time of the last Update).
    virtual double Now() { return absoluteTime; }

    float frameTime = 0.0f;
    double absoluteTime = 0.0;
    // The platform clock's own reading at the first Update, in seconds (for logs read beside other
    // programs' times).
    double origin = 0.0;
};

} // namespace Halvo::App
