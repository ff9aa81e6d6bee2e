#include "host/Metafile.h"

#include "host/Exceptions.h"

namespace ferronel {

void TMetafile::LoadFromStream(TStream&) { throw EInvalidGraphic("Metafiles cannot be shown yet"); }

void TMetafile::SaveToStream(TStream&) { throw EInvalidGraphicOperation("Metafiles cannot be saved"); }

} // namespace ferronel
