// Runs the converter in-process, as its tests do: the exit status, and what it printed.
#pragma once

#include "Convert.h"

#include <sstream>
#include <string>
#include <vector>

namespace ferronel::test {

inline int Convert(const std::vector<std::string>& Args, std::string* Out = nullptr,
                   std::string* Err = nullptr) {
    std::ostringstream o, e;
    const int status = ConvertMain(Args, o, e);
    if (Out) *Out = o.str();
    if (Err) *Err = e.str();
    return status;
}

} // namespace ferronel::test
