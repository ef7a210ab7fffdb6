#include "schema.h"

namespace cedev {

// Placeholder until the service that owns these tables defines them.
bool CreateFileSchema(SqlDb&) { return true; }

}  // namespace cedev
