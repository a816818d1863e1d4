#include "log.h"

#include <cstdarg>
#include <cstdio>
#include <exception>

#include "export_guard.h"

namespace dalvex {

void dalvexLog(const char* format, ...) {
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
