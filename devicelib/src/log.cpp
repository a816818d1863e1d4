#include "log.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <exception>

#include "export_guard.h"

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

int exportFailed(const char* exportName, int result) noexcept {
    try {
        throw;
    } catch (const std::exception& error) {
        dalvexLog("%s: exception: %s\n", exportName, error.what());
    } catch (...) {
        dalvexLog("%s: unknown exception\n", exportName);
    }
    return result;
}

}  // namespace dalvex
