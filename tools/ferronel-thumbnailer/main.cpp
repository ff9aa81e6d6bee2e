#include "Thumbnail.h"

#include "picture/Registrations.h"

#include <cstdlib>
#include <iostream>

int main(int argc, char** argv) {
    const int status = ferronel::ThumbnailerMain(std::vector<std::string>(argv + 1, argv + argc), std::cerr);
    // A load that overran still runs: end without waiting for it or tearing down what it uses.
    if (status == ferronel::ThumbnailTimedOut) std::_Exit(status);
    ferronel::FinalizePictureFormats();
    return status;
}
