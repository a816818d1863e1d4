// dalvex metrics: what the docked cameras report and what the archive holds, in Prometheus's text
// format, for node exporter's textfile collector.
#pragma once

#include <string>

namespace cli {

struct MetricsOptions {
    std::string textfile;  // "" for standard output
    std::string archive;   // "" for the default archive, when it exists
};

// Writes the metrics. Returns the exit code: 0 written, 1 written without what could not be
// read, or not written at all; 2 an archive that is no folder.
int writeMetrics(const MetricsOptions& options);

}  // namespace cli
