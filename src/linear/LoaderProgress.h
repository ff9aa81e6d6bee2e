// The library's one optional progress event: loaders report the percentage done during long loops
// when a caller has set it. The viewer never sets it.
#pragma once

#include <functional>

namespace ferronel::linear {

using TLoaderProgress = std::function<void(int Percent)>;

inline TLoaderProgress& LoaderProgress() {
    static TLoaderProgress progress;
    return progress;
}

inline void ReportLoaderProgress(int Percent) {
    if (const TLoaderProgress& progress = LoaderProgress()) progress(Percent);
}

} // namespace ferronel::linear
