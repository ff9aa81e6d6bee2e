// Feeds arbitrary bytes to the Targa reader; what loads is saved again and read back.
#include "host/Exceptions.h"
#include "host/Limits.h"
#include "host/Stream.h"
#include "readers/formats/TargaGraphic.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    using namespace ferronel;
    SetPixelBufferLimit(1 << 20); // keeps each input fast; the limit itself is tested elsewhere
    TMemoryStream stream(Data, Size);
    TTargaGraphic targa;
    try {
        targa.CanLoad(stream);
        targa.LoadFromStream(stream);
        TMemoryStream saved;
        targa.SaveToStream(saved);
        saved.SetPosition(0);
        TTargaGraphic back;
        back.LoadFromStream(saved);
    } catch (const Exception&) {
    }
    return 0;
}
