// The built-in sample device: a realistic terminal of the "Tovak" platform
// with ROM and RAM files, a few hundred registry keys, contact and
// appointment databases, two storage volumes and two mounted folders. The
// content is generated from fixed seeds, so every device made from it is the
// same byte for byte.
#pragma once

#include "device_folder.h"
#include "device_image.h"

namespace cedev {

// device.json of the sample device.
DeviceSettings SampleSettings();
// Everything `cedev init` writes onto the device.
DeviceImage SampleImage();

// The parts SampleImage assembles; separate so each stays readable.
void AddSampleFiles(DeviceImage* image);
void AddSampleRegistry(DeviceImage* image);
void AddSampleDatabases(DeviceImage* image);

// The platform name the sample device carries in HKLM\Platform "Name".
inline constexpr char16_t kSamplePlatformName[] = u"Velta HT-660";

}  // namespace cedev
