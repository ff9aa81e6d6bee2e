// The enumerators' own names for the reader library's header facts, for tools and messages that
// show what a reader found.
#pragma once

#include "readers/ReaderGraphic.h"

namespace ferronel {

// "csRGB", "csIndexed", ...; "?" for a value outside the enumeration.
const char* ColorSchemeName(TColorScheme Scheme);
// "cpNone", "cpRLE", ...; "?" for a value outside the enumeration.
const char* CompressionSchemeName(TCompressionScheme Scheme);

} // namespace ferronel
