// The entry points a sample plug-in defines. They carry stand-in names of the real names' length
// (plugins/tools/ExportNames.cpp writes the real ones into the built library).
#pragma once

#include "plugins/ImageContainer.h"

#define FERRONEL_PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))

using ferronel::plugins::TImageContainer;

FERRONEL_PLUGIN_EXPORT int
LibLoadImage(char* FileName, char* Ext,
             TImageContainer* Image) __asm__("_LibLoadImage__YGHPAD0PAUTImageContainer___Z");
FERRONEL_PLUGIN_EXPORT int
LibSaveImage(char* FileName, char* Ext,
             TImageContainer* Image) __asm__("_LibSaveImage__YGHPAD0PAUTImageContainer___Z");
FERRONEL_PLUGIN_EXPORT int
LibFreeImage(TImageContainer* Image) __asm__("_LibFreeImage__YGHPAUTImageContainer___Z");
FERRONEL_PLUGIN_EXPORT char* LibGetLoadFilter() __asm__("_LibGetLoadFilter__YGPADXZ");
FERRONEL_PLUGIN_EXPORT char* LibGetSaveFilter() __asm__("_LibGetSaveFilter__YGPADXZ");
