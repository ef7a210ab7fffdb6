// The EEPROM reader: the bytes come from the device's settings (eeprom).
#include "ce/eeprom.h"

#include <cstring>

#include "device_folder.h"
#include "eeprom_module.h"
#include "modules.h"

namespace {

constexpr DWORD kReadFailed = 1;

bool DeviceHasEeprom() {
  cedev::Device* dev = cedev::Device::Current();
  return dev && dev->Settings().has_eeprom;
}

}  // namespace

DWORD WINAPI E2pRead(DWORD address, DWORD, BYTE* buffer, DWORD count) {
  cedev::Device* dev = cedev::Device::Current();
  if (!dev || !buffer) return kReadFailed;
  cedev::DeviceSettings settings = dev->Settings();
  if (!settings.has_eeprom) return kReadFailed;
  const auto& bytes = settings.eeprom;
  if (address > bytes.size() || count > bytes.size() - address) return kReadFailed;
  if (count) std::memcpy(buffer, bytes.data() + address, count);
  return 0;
}

void cedev::RegisterEepromModule() {
  RegisterModule(u"eeprom.dll", DeviceHasEeprom, {{u"E2pRead", AsFarProc(&E2pRead)}});
}
