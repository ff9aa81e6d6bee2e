// A test plug-in that only writes, yet names a type in its load filter: it is kept, and the type
// it names reaches the picture registry, so that such files go on to the built-in loaders.
#include "plugins/PluginExports.h"

namespace {
char LoadFilter[] = "Save only (*.svo)|*.svo";
char SaveFilter[] = "Save only (*.svw)|*.svw";
} // namespace

int LibSaveImage(char*, char*, TImageContainer*) { return ferronel::plugins::prDataError; }
int LibFreeImage(TImageContainer*) { return 0; }
char* LibGetLoadFilter() { return LoadFilter; }
char* LibGetSaveFilter() { return SaveFilter; }
