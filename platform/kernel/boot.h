// Booting the device: runs the programs of its autostart list (after a full
// reset, first the welcome program). Soft and full reset call it once every
// running device program has been ended.
#pragma once

namespace cedev {

bool BootDevice(bool after_full_reset);

}  // namespace cedev
