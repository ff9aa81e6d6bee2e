// Test plug-ins with load and release functions but a filter text that cannot be used. Built once
// per kind (BAD_FILTER_KIND): 1 a description without its pattern, 2 no filter at all, 3 a text
// longer than the program takes, 4 only "*.*".
#include "plugins/PluginExports.h"

#include <cstring>

namespace {

#if BAD_FILTER_KIND == 1
char Filter[] = "Broken (*.brk)|*.brk|Dangling (*.dng)";
#elif BAD_FILTER_KIND == 3
struct TLongFilter {
    char Text[70000];
    TLongFilter() {
        std::memset(Text, 'a', sizeof Text - 1);
        std::memcpy(Text, "Long (*.lng)|*.lng|", 19);
        Text[sizeof Text - 1] = 0;
    }
} LongFilter;
#elif BAD_FILTER_KIND == 4
char Filter[] = "All files (*.*)|*.*";
#endif

} // namespace

int LibLoadImage(char*, char*, TImageContainer*) { return ferronel::plugins::prDataError; }
int LibFreeImage(TImageContainer*) { return 0; }

char* LibGetLoadFilter() {
#if BAD_FILTER_KIND == 2
    return nullptr;
#elif BAD_FILTER_KIND == 3
    return LongFilter.Text;
#else
    return Filter;
#endif
}
