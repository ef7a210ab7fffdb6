// `cedev init DIR`: a new device from the built-in sample image.
#include <filesystem>
#include <ostream>

#include "commands.h"
#include "device_folder.h"
#include "factory.h"
#include "sample_image.h"

namespace cedev::tool {

int RunInit(const CommandArgs& args, CommandContext& ctx) {
  CommandParser parser(ctx, "init");
  std::string given;
  parser.app().add_option("DIR", given);
  if (auto code = parser.Parse(args)) return *code;
  std::filesystem::path dir = given.empty() ? ctx.device_dir : std::filesystem::path(given);
  std::error_code ec;
  dir = std::filesystem::absolute(dir, ec);
  if (std::filesystem::exists(dir / "device.json", ec)) {
    return Failure(ctx, dir.string() + ": a device exists here already");
  }
  if (std::filesystem::exists(dir, ec) && !std::filesystem::is_empty(dir, ec)) {
    return Failure(ctx, dir.string() + ": folder is not empty");
  }
  std::string error;
  if (!Device::Create(dir, SampleSettings(), &error)) return Failure(ctx, error);
  ctx.device_dir = dir;
  if (!OpenDevice(ctx)) return kExitFailure;
  if (!WriteDeviceImage(SampleImage(), &error)) return Failure(ctx, dir.string() + ": sample image: " + error);
  if (!SaveFactoryImage(&error)) return Failure(ctx, dir.string() + ": factory image: " + error);
  ctx.out << "created the sample device in " << dir.string() << "\n";
  return kExitOk;
}

}  // namespace cedev::tool
