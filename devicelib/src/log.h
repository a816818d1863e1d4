// Diagnostic lines of the library. Every line the library writes goes through dalvexLog so that
// the sink is chosen in one place (standard error: standard output stays free for programs that
// print data).
#pragma once

#if defined(__GNUC__)
#define DALVEX_PRINTF(a, b) __attribute__((format(printf, a, b)))
#else
#define DALVEX_PRINTF(a, b)
#endif

namespace dalvex {

void dalvexLog(const char* format, ...) DALVEX_PRINTF(1, 2);

// Programs that link the internals may silence the lines (on by default).
void setLogEnabled(bool enabled);

}  // namespace dalvex
