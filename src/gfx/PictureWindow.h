#pragma once

#include "gfx/DebugPictures.h"
#include "ref/Object.h"

namespace Halvo::Gfx {

// A window of its own beside the game's, showing one picture (a debugger's viewer), scaled to fit.
class PictureWindow : public Ref::Object {
public:
    // Shows the picture (the window takes its shape from the first one).
    virtual void Show(const DebugPicture& picture) = 0;
    // The person closed the window: the owner lets it go.
    virtual bool Closed() const = 0;
};

} // namespace Halvo::Gfx
