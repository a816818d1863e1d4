// No C++ exception crosses an export: the body of each export is a function-try-block whose
// handler ends in exportFailed(__func__, <the export's failure result>).
#pragma once

namespace dalvex {

// Logs one line naming the export and the exception being handled, and returns result. Call it
// only from a catch handler.
int exportFailed(const char* exportName, int result) noexcept;

}  // namespace dalvex
