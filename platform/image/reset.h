// Resets of the device. Both end every running device program first and
// boot afterwards (see boot.h); a full reset also puts the object store back
// to the factory image (factory.h). Each reset is recorded in the journal.
#pragma once

#include <string>

namespace cedev {

bool FullReset(std::string* error);
bool SoftReset(std::string* error);

}  // namespace cedev
