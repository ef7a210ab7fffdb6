// Makes "eeprom.dll" loadable on devices that have an EEPROM; the start-up
// code of device programs calls it.
#pragma once

namespace cedev {

void RegisterEepromModule();

}  // namespace cedev
