#include "creation_hook.h"

namespace cedev::gwes {
namespace {

struct ArmedHook {
  CeCreationHook hook = nullptr;
  void* context = nullptr;
};

thread_local ArmedHook t_armed;

}  // namespace

void RunCreationHook(HWND window) {
  ArmedHook armed = t_armed;
  // Cleared first: the windows the hook's window creates are not its.
  t_armed = {};
  if (armed.hook) armed.hook(window, armed.context);
}

}  // namespace cedev::gwes

void CeArmCreationHook(CeCreationHook hook, void* context) { cedev::gwes::t_armed = {hook, context}; }

void CeDisarmCreationHook() { cedev::gwes::t_armed = {}; }
