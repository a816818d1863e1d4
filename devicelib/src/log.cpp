#include "log.h"

#include <cstdarg>
#include <cstdio>

namespace dalvex {

void dalvexLog(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
}

}  // namespace dalvex
