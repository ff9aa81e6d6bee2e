// What a reader's one header check answers. Each reader parses its header once into a struct and
// judges it in one function; CanLoad, LoadImageProperties and loading all take their answer from
// it. Where a format's CanLoad is stricter than its loader, both rules sit side by side here.
#pragma once

#include <string>

namespace ferronel {

struct THeaderCheck {
    bool CanLoad = false; // what CanLoad answers
    bool Load = false;    // whether loading goes on
    std::string Refusal;  // the message loading raises when it does not
};

} // namespace ferronel
