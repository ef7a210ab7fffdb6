#include "factory.h"

#include "device_folder.h"
#include "factory_files.h"
#include "reg_text.h"

namespace cedev {
namespace {

std::filesystem::path FactoryDb(const Device& device) { return device.FactoryDir() / "factory.db"; }

}  // namespace

bool HasFactoryImage() {
  Device* dev = Device::Current();
  std::error_code ec;
  return dev && std::filesystem::exists(FactoryDb(*dev), ec) && std::filesystem::is_directory(dev->FactoryDir() / "store", ec);
}

bool SaveFactoryImage(std::string* error) {
  Device* dev = Device::Current();
  if (!dev) {
    if (error) *error = "no device";
    return false;
  }
  std::error_code ec;
  std::filesystem::create_directories(dev->FactoryDir(), ec);
  return SaveFactoryFiles(*dev, error) && SaveRegistryAndDatabasesToFactory(FactoryDb(*dev), error);
}

bool RestoreFactoryImage(std::string* error) {
  Device* dev = Device::Current();
  if (!dev) {
    if (error) *error = "no device";
    return false;
  }
  if (!HasFactoryImage()) {
    if (error) *error = dev->FactoryDir().string() + ": no factory image";
    return false;
  }
  return RestoreFactoryFiles(*dev, error) && RestoreRegistryAndDatabasesFromFactory(FactoryDb(*dev), error);
}

}  // namespace cedev
