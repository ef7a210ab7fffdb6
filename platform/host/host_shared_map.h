// Memory shared by every process that maps the same small file of the
// device's run/ folder (change counters and the like).
#pragma once

#include <cstddef>
#include <string>

namespace cedev::host {

// Maps the first `bytes` of the file at `path` (created and grown to that
// size when needed), shared with every other mapping of it. The mapping
// lasts as long as the process. Null when the file cannot be made or mapped.
void* MapSharedFile(const std::string& path, size_t bytes);
// Gives up a mapping that MapSharedFile made, for a holder that goes before
// the process does.
void UnmapSharedFile(void* map, size_t bytes);

}  // namespace cedev::host
