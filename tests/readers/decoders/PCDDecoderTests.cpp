#include "readers/decoders/PCDDecoder.h"
