#include "player/ProbeFunctions.h"

#include <dlfcn.h>

const ProbeFunctions::Functions &ProbeFunctions::gst()
{
    static const Functions f = [] {
        Functions l;
        void *handle = dlopen("libgstreamer-1.0.so.0", RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD);
        if (!handle)
            return l;
        l.ok = true;
#define HX_PROBE_LOOKUP(name)                                                                                          \
    l.name = reinterpret_cast<decltype(l.name)>(dlsym(handle, #name));                                                 \
    l.ok = l.ok && l.name;
        HX_PROBE_FUNCTIONS(HX_PROBE_LOOKUP)
#undef HX_PROBE_LOOKUP
        return l;
    }();
    return f;
}
