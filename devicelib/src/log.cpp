#include "log.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace dalvex {

namespace {
std::atomic<bool> logEnabled{true};
}

void setLogEnabled(bool enabled) {
    logEnabled = enabled;
}

void dalvexLog(const char* format, ...) {
    if (!logEnabled) {
        return;
    }
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
}

}  // namespace dalvex
