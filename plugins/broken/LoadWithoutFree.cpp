// A test plug-in that reads but cannot release what it hands out: it must be left out.
#include "plugins/PluginExports.h"

namespace {
char Filter[] = "No release (*.nrl)|*.nrl";
}

int LibLoadImage(char*, char*, TImageContainer*) { return ferronel::plugins::prDataError; }
char* LibGetLoadFilter() { return Filter; }
