#include "Convert.h"

#include <iostream>

#include <unistd.h>

#include "picture/Registrations.h"

int main(int argc, char** argv) {
    const int status = ferronel::ConvertMain(std::vector<std::string>(argv + 1, argv + argc), std::cout,
                                             std::cerr, isatty(STDERR_FILENO) != 0);
    ferronel::FinalizePictureFormats();
    return status;
}
