// The GIF unit's error.
#pragma once

#include "host/Exceptions.h"

namespace ferronel {

FERRONEL_EXCEPTION(GIFException, EInvalidGraphic);

} // namespace ferronel
