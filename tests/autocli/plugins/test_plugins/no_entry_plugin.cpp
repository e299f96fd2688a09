// Test plugin: a loadable shared object that lacks the registration entry point.
#include <corvane/plugins.h>

extern "C" CORVANE_PLUGIN_EXPORT int NoEntryPlugin_Marker() {
    return 42;
}
