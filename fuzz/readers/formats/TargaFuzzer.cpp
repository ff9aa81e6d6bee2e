// Arbitrary bytes as a Targa file; what loads is saved again and read back.
#include "fuzz/support/FuzzReader.h"
#include "readers/formats/TargaGraphic.h"

using namespace ferronel;

FERRONEL_FUZZ_READER(TTargaGraphic, 1 << 20, [](TTargaGraphic& Targa) {
    TMemoryStream saved;
    Targa.SaveToStream(saved);
    saved.SetPosition(0);
    TTargaGraphic back;
    back.LoadFromStream(saved);
})
