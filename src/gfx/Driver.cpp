#include "gfx/Driver.h"

#include "gfx/NesCanvas.h"
#include "gfx/PictureFilters.h"

namespace Halvo::Gfx {

Ref::Ptr<NesCanvas> Driver::CreateFilteredNesCanvas(std::shared_ptr<PictureFilter>) {
    return nullptr;
}

} // namespace Halvo::Gfx
