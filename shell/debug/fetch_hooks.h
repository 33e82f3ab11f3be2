// The machine calls one observer at every opcode fetch; the trace log and the monitor's
// checkpoints and steps each hook into it here, the monitor first: when it stops the machine
// before the fetched instruction, the instruction is fetched again later, and only then logged.
#pragma once

namespace quillon {

enum class FetchHookSlot { Monitor, TraceLog };

// Returns false when it stopped the machine before the fetched instruction.
using FetchHook = bool (*)();

// Sets or (with null) clears the hook of `slot`; the machine has an observer while either is
// set. Between runs only, as the machine's observer.
void SetFetchHook(FetchHookSlot slot, FetchHook hook);

}  // namespace quillon
