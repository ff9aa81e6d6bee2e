// The loader registry's start-up: made on first use, the library's loaders join it in their order.
#include "linear/BMPLoader.h"
#include "linear/BitmapLoader.h"
#include "linear/HIPSLoader.h"
#include "linear/ICOLoader.h"
#include "linear/JPEGLoader.h"
#include "linear/PCXLoader.h"
#include "linear/PNGLoader.h"
#include "linear/WMFLoader.h"

namespace ferronel::linear {

TBitmapLoaders& BitmapLoaders() {
    static TBitmapLoaders loaders = [] {
        TBitmapLoaders all;
        all.RegisterLoader(WMFLoader());
        all.RegisterLoader(PCXLoader());
        all.RegisterLoader(BMPLoader());
        all.RegisterLoader(PNGLoader());
        all.RegisterLoader(JPEGLoader());
        all.RegisterLoader(ICOLoader());
        all.RegisterLoader(HIPSLoader());
        return all;
    }();
    return loaders;
}

} // namespace ferronel::linear
