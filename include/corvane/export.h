// CORVANE_API marks the library's exported classes and functions; everything else stays hidden.
#pragma once

#if defined(CORVANE_BUILDING_LIBRARY)
#define CORVANE_API __attribute__((visibility("default")))
#else
#define CORVANE_API
#endif
