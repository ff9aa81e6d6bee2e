#include "readers/PropertyNames.h"

#include <array>

namespace ferronel {

namespace {

// Indexed by ordinal (the enumerations are dense from 0). Each table's size is checked against the
// last enumerator, so an enumerator inserted in the middle stops the build instead of shifting names.
constexpr std::array ColorSchemeNames{"csUnknown", "csIndexed", "csGray",    "csGrayAlpha", "csRGB",
                                      "csRGBA",    "csBGR",     "csBGRA",    "csCMY",       "csCMYK",
                                      "csCIELab",  "csYCbCr",   "csPhotoYCC"};
static_assert(ColorSchemeNames.size() == size_t(csPhotoYCC) + 1);

constexpr std::array CompressionSchemeNames{
    "cpUnknown",     "cpNone",     "cpRLE",      "cpPackBits", "cpLZW",       "cpFax3",
    "cpFaxRLE",      "cpFax4",     "cpFaxRLEW",  "cpDeflate",  "cpJPEG",      "cpOldJPEG",
    "cpThunderscan", "cpNeXT",     "cpIT8CTPAD", "cpIT8LW",    "cpIT8MP",     "cpIT8BL",
    "cpPixarFilm",   "cpPixarLog", "cpDCS",      "cpJBIG",     "cpPCDHuffman"};
static_assert(CompressionSchemeNames.size() == size_t(cpPCDHuffman) + 1);

} // namespace

const char* ColorSchemeName(TColorScheme Scheme) {
    return size_t(Scheme) < ColorSchemeNames.size() ? ColorSchemeNames[Scheme] : "?";
}

const char* CompressionSchemeName(TCompressionScheme Scheme) {
    return size_t(Scheme) < CompressionSchemeNames.size() ? CompressionSchemeNames[Scheme] : "?";
}

} // namespace ferronel
