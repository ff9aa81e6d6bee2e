#include "readers/decoders/ThunderDecoder.h"
