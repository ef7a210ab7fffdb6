#include "metrics.h"

#include "device_folder.h"

namespace cedev::gwes {

bool Landscape() {
  Device* dev = Device::Current();
  return dev && dev->SettingsSnapshot()->landscape;
}

int ScreenWidth() { return Landscape() ? kPortraitHeight : kPortraitWidth; }
int ScreenHeight() { return Landscape() ? kPortraitWidth : kPortraitHeight; }

}  // namespace cedev::gwes
