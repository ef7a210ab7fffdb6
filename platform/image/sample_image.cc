#include "sample_image.h"

namespace cedev {

DeviceSettings SampleSettings() {
  DeviceSettings s;
  s.platform_type = "Tovak";
  s.ui_language = 0x0411;
  s.ac_line = false;
  s.battery_percent = 80;
  s.volumes = {{"FlashDisk", 128ull << 20}, {"Storage Card", 0}};
  s.mounted_folders = {"Release", "ネットワーク"};
  // The system files of the sample image that the system keeps open: the
  // database volumes and hives, the input method's module and dictionaries,
  // the system log, the browser's cache and the volatile session data.
  s.held_files = {"\\pim.vol",
                  "\\cemail.vol",
                  "\\Documents and Settings\\system.hv",
                  "\\Documents and Settings\\default.vol",
                  "\\Documents and Settings\\default\\user.hv",
                  "\\Windows\\Imjp31.dll",
                  "\\Windows\\Imjp31u.dic",
                  "\\Windows\\custom.dic",
                  "\\Windows\\SystemLog.xml",
                  "\\Windows\\Temp\\Internet Explorer\\cache0001.htm",
                  "\\Application Data\\Volatile\\session.tmp"};
  s.welcome_program = "\\Windows\\welcome.exe";
  // Empty: each volume's CE\ARM\Restore.exe, when present (see boot.h).
  s.autostart = {};
  // The EEPROM block the model set-up reads; byte 0x23 bit 0x40 asks for a
  // touch calibration after a full reset.
  s.eeprom.assign(256, 0xFF);
  s.eeprom[0x20] = 0x01;
  s.eeprom[0x21] = 0x00;
  s.eeprom[0x22] = 0x00;
  s.eeprom[0x23] = 0x40;
  return s;
}

DeviceImage SampleImage() {
  DeviceImage image;
  AddSampleFiles(&image);
  AddSampleRegistry(&image);
  AddSampleDatabases(&image);
  return image;
}

}  // namespace cedev
