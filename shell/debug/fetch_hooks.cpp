#include "debug/fetch_hooks.h"

#include "session/session.h"

namespace quillon {
namespace {

FetchHook Hooks[2] = {nullptr, nullptr};

void CallHooks() {
  for (const FetchHook hook : Hooks) {
    if (hook != nullptr && !hook()) return;
  }
}

}  // namespace

void SetFetchHook(FetchHookSlot slot, FetchHook hook) {
  Hooks[static_cast<int>(slot)] = hook;
  const bool any = Hooks[0] != nullptr || Hooks[1] != nullptr;
  CurrentMachine().SetFetchObserver(any ? CallHooks : nullptr);
}

}  // namespace quillon
