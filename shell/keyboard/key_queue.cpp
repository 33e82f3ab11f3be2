#include "keyboard/key_queue.h"

#include <algorithm>
#include <cstring>
#include <deque>

#include "interface/machine.h"
#include "keyboard/host_keys.h"
#include "keyboard/key_table.h"
#include "platform/messages.h"
#include "session/host_state.h"
#include "session/session.h"

namespace quillon {
namespace {

enum class KeyAction : std::uint8_t { Down, Up, AwaitBasic };

// The most raster lines a frame has: F11's credit of lines stays below it.
constexpr std::int32_t MostLinesPerFrame = 312;

struct KeyEvent {
  KeyAction Action;
  std::uint8_t VirtualKey;
  bool FromText;
  std::uint16_t WaitLimit;  // AwaitBasic: scans to wait at most, 0 for no limit
};

struct KeyQueueState {
  std::deque<KeyEvent> Events;
  // Scans counted since the start. It begins at KeyHoldScans so that the zero times below lie
  // far enough back.
  std::int64_t Scan = KeyHoldScans;
  // Raster lines counted as frames while F11 was held, not yet a whole frame.
  std::int32_t LineCredit = 0;
  // When the last key that types something went down, when each key went down, and when each
  // C64 key position was last let go, in scans.
  std::int64_t CharacterDownAt = 0;
  std::int64_t DownAt[256] = {};
  std::int64_t ReleasedAt[64] = {};
  // When the AwaitBasic at the head of the queue began to wait; -1 while none waits.
  std::int64_t AwaitSince = -1;
  // The machine's count of scans begun as last seen, and as the last frame ended.
  std::uint64_t MachineScans = 0;
  std::uint64_t MachineScansAtFrameEnd = 0;
  // Events applied since the start.
  std::uint64_t Applied = 0;
  bool Down[256] = {};
  // The Shift state each key went down with: its release lets go of what its press pressed,
  // even when Shift was let go in between.
  bool DownShifted[256] = {};
  bool ShiftLock = false;
  // What typed text holds down, which the release of the host keys leaves down.
  bool TextShift = false;
  int TextKey = 0;
};
KeyQueueState Queue;

// Keys that change how other keys read but type nothing themselves, so that they may go down
// with the key they modify: the SHIFT keys, CTRL, C=, RESTORE and SHIFT LOCK.
bool IsModifier(int key) {
  return key == VirtualKeyShift || key == VirtualKeyRightShift || key == VirtualKeyControl ||
         key == VirtualKeyRightControl || key == VirtualKeyTab || key == VirtualKeyPrior ||
         key == VirtualKeyCapital;
}

bool IsModifierPosition(std::uint8_t position) {
  return position == LeftShiftKey || position == RightShiftKey || position == ControlKey ||
         position == CommodoreKey;
}

const KeyEffect* Effect(int key, bool shifted) {
  const KeyTableRow* row = FindKeyRow(key);
  if (row == nullptr) return nullptr;
  return shifted ? &row->Shifted : &row->Plain;
}

// The Shift state a key's release goes by: the one it went down with, while it is down.
bool ReleaseShift(int key) {
  return Queue.Down[key] ? Queue.DownShifted[key] : Host.ShiftHeld != 0;
}

void FollowShift() {
  Host.ShiftHeld = Queue.Down[VirtualKeyShift] || Queue.Down[VirtualKeyRightShift];
}

bool Ready(const KeyEvent& event) {
  // While the emulation stands paused (or held by the monitor) no time passes for the C64: a
  // key pressed and let go in that time was never there. (In trace mode the steps run, and the
  // keys are held as ever.)
  if (!event.FromText && EmulationHeld() && !Host.TraceMode) return true;
  // A key that types something is seen on its own before anything else changes.
  if (Queue.Scan < Queue.CharacterDownAt + KeyHoldScans) return false;
  if (event.Action == KeyAction::Up) {
    return Queue.Scan >= Queue.DownAt[event.VirtualKey] + KeyHoldScans;
  }
  const KeyEffect* effect = Effect(event.VirtualKey, Host.ShiftHeld != 0);
  if (effect == nullptr) return true;
  // The same C64 key again must first have been seen up.
  for (std::uint8_t position : effect->Press) {
    if (position < 64 && !IsModifierPosition(position) &&
        Queue.Scan < Queue.ReleasedAt[position] + KeyHoldScans) {
      return false;
    }
  }
  return true;
}

void ApplyDown(int key) {
  if (key == VirtualKeyCapital) {
    // SHIFT LOCK latches LEFT SHIFT down until it is pressed again.
    Queue.ShiftLock = !Queue.ShiftLock;
    if (Queue.ShiftLock) {
      PressKey(LeftShiftKey);
    } else if (!Queue.Down[VirtualKeyShift]) {
      ReleaseKey(LeftShiftKey);
    }
  } else if (key == VirtualKeyPrior) {
    // RESTORE is wired to the NMI line, not to the matrix: its press raises one NMI.
    CurrentMachine().PressRestore();
  } else {
    ApplyKeyDown(key, Host.ShiftHeld != 0);
  }
  Queue.Down[key] = true;
  Queue.DownShifted[key] = Host.ShiftHeld != 0;
  Queue.DownAt[key] = Queue.Scan;
  if (!IsModifier(key)) Queue.CharacterDownAt = Queue.Scan;
  FollowShift();
}

void ApplyUp(int key) {
  const bool shifted = ReleaseShift(key);
  if (const KeyEffect* effect = Effect(key, shifted)) {
    for (std::uint8_t position : effect->KeyUp) {
      if (position < 64) Queue.ReleasedAt[position] = Queue.Scan;
    }
  }
  ApplyKeyUp(key, shifted);
  Queue.Down[key] = false;
  FollowShift();
  if (Queue.ShiftLock) PressKey(LeftShiftKey);
}

void Apply(const KeyEvent& event) {
  if (event.Action == KeyAction::Down) {
    ApplyDown(event.VirtualKey);
  } else {
    ApplyUp(event.VirtualKey);
  }
  if (!event.FromText) return;
  if (event.VirtualKey == VirtualKeyShift) {
    Queue.TextShift = event.Action == KeyAction::Down;
  } else {
    Queue.TextKey = event.Action == KeyAction::Down ? event.VirtualKey : 0;
  }
}

// Counts the scans begun since the last look. Returns whether no scan is under way: the last
// read of the rows lies far enough back.
bool BetweenScans() {
  const Machine& machine = CurrentMachine();
  const KeyboardScans scans = machine.KeyboardScanCount();
  Queue.Scan += static_cast<std::int64_t>(scans.Begun - Queue.MachineScans);
  Queue.MachineScans = scans.Begun;
  return scans.LastRead == 0 || machine.Clock() - scans.LastRead >= KeyboardScanGap;
}

// Applies events from the head of the queue for as long as they may go: changes of the key
// matrix between two scans only. RESTORE is wired to the NMI line, not to the matrix.
void Serve() {
  if (Queue.Events.empty()) return;
  const bool betweenScans = BetweenScans();
  while (!Queue.Events.empty()) {
    const KeyEvent& event = Queue.Events.front();
    if (!betweenScans && event.Action != KeyAction::AwaitBasic &&
        event.VirtualKey != VirtualKeyPrior) {
      return;
    }
    if (event.Action == KeyAction::AwaitBasic) {
      if (Queue.AwaitSince < 0) Queue.AwaitSince = Queue.Scan;
      const bool timedOut =
          event.WaitLimit != 0 && Queue.Scan >= Queue.AwaitSince + event.WaitLimit;
      if (!BasicWaitsForInput(CurrentMachine()) && !timedOut) return;
      Queue.AwaitSince = -1;
    } else if (Ready(event)) {
      Apply(event);
    } else {
      return;
    }
    Queue.Events.pop_front();
    ++Queue.Applied;
  }
}

// The events that type `keys`, each with Shift held around it when it needs one; after a
// RETURN the rest waits for BASIC.
std::vector<KeyEvent> TypedEvents(const std::vector<TypedKey>& keys) {
  std::vector<KeyEvent> events;
  const auto add = [&events](KeyAction action, int key, std::uint16_t waitLimit = 0) {
    events.push_back({action, static_cast<std::uint8_t>(key), true, waitLimit});
  };
  for (const TypedKey& key : keys) {
    if (key.Shift) add(KeyAction::Down, VirtualKeyShift);
    add(KeyAction::Down, key.VirtualKey);
    add(KeyAction::Up, key.VirtualKey);
    if (key.Shift) add(KeyAction::Up, VirtualKeyShift);
    if (key.VirtualKey == VirtualKeyReturn) add(KeyAction::AwaitBasic, 0, ReturnWaitScans);
  }
  return events;
}

void Post(KeyAction action, int key, bool fromText) {
  Queue.Events.push_back({action, static_cast<std::uint8_t>(key), fromText, 0});
}

}  // namespace

void KeyQueueReset() {
  Queue = KeyQueueState{};
  Queue.MachineScans = Queue.MachineScansAtFrameEnd = CurrentMachine().KeyboardScanCount().Begun;
}

void KeyQueuePress(int virtualKey) {
  Post(KeyAction::Down, virtualKey, false);
  Serve();
}

void KeyQueueRelease(int virtualKey) {
  Post(KeyAction::Up, virtualKey, false);
  Serve();
}

void KeyQueueType(const std::vector<TypedKey>& keys, bool waitForBasic) {
  if (waitForBasic) Post(KeyAction::AwaitBasic, 0, true);
  const std::vector<KeyEvent> events = TypedEvents(keys);
  Queue.Events.insert(Queue.Events.end(), events.begin(), events.end());
  Serve();
}

std::uint64_t KeyQueueTypeAhead(const std::vector<TypedKey>& keys) {
  const std::vector<KeyEvent> events = TypedEvents(keys);
  Queue.Events.insert(Queue.Events.begin(), events.begin(), events.end());
  const std::uint64_t done = Queue.Applied + events.size();
  Serve();
  return done;
}

std::uint64_t KeyQueueApplied() { return Queue.Applied; }

void KeyQueueFramesPassed(std::int32_t frames) {
  if (frames <= 0) return;
  if (HostKeyDown[VirtualKeyF11]) {
    Queue.LineCredit += frames;
    const int lines = CurrentMachine().LinesPerFrame();
    frames = Queue.LineCredit / lines;
    Queue.LineCredit %= lines;
  }
  // Frames in which the program scanned no keys count as scans: nothing can see a change half.
  BetweenScans();
  if (frames > 0) {
    if (Queue.MachineScans == Queue.MachineScansAtFrameEnd) Queue.Scan += frames;
    Queue.MachineScansAtFrameEnd = Queue.MachineScans;
  }
  Serve();
}

void KeyQueueRasterLine() {
  if (!Queue.Events.empty()) Serve();
}

bool KeyQueueEmpty() { return Queue.Events.empty(); }

void KeyQueueSave(SnapshotWriter& out) {
  out.U32(static_cast<std::uint32_t>(Queue.Events.size()));
  for (const KeyEvent& event : Queue.Events) {
    out.U8(static_cast<std::uint8_t>(event.Action));
    out.U8(event.VirtualKey);
    out.U8(event.FromText);
    out.U16(event.WaitLimit);
  }
  out.U64(static_cast<std::uint64_t>(Queue.Scan));
  out.U32(static_cast<std::uint32_t>(Queue.LineCredit));
  out.U64(static_cast<std::uint64_t>(Queue.CharacterDownAt));
  for (std::int64_t at : Queue.DownAt) out.U64(static_cast<std::uint64_t>(at));
  for (std::int64_t at : Queue.ReleasedAt) out.U64(static_cast<std::uint64_t>(at));
  out.U64(static_cast<std::uint64_t>(Queue.AwaitSince));
  for (bool down : Queue.Down) out.U8(down);
  for (bool down : Queue.DownShifted) out.U8(down);
  out.U8(Queue.ShiftLock);
  out.U8(Queue.TextShift);
  out.U8(static_cast<std::uint8_t>(Queue.TextKey));
  out.U8(Host.ShiftHeld != 0);
}

bool KeyQueueLoad(SnapshotReader& in, bool apply) {
  constexpr std::size_t EventSize = 5;
  KeyQueueState queue;
  const std::uint32_t count = in.U32();
  // Each event takes five bytes: a count that the data cannot hold is damage, not a reason to
  // allocate.
  if (in.Failed || count > (in.Size - in.Position) / EventSize) return false;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint8_t action = in.U8();
    const std::uint8_t key = in.U8();
    const bool fromText = in.Flag();
    const std::uint16_t waitLimit = in.U16();
    if (action > static_cast<std::uint8_t>(KeyAction::AwaitBasic)) return false;
    queue.Events.push_back({static_cast<KeyAction>(action), key, fromText, waitLimit});
  }
  queue.Scan = static_cast<std::int64_t>(in.U64());
  queue.LineCredit = static_cast<std::int32_t>(in.U32());
  queue.CharacterDownAt = static_cast<std::int64_t>(in.U64());
  for (std::int64_t& at : queue.DownAt) at = static_cast<std::int64_t>(in.U64());
  for (std::int64_t& at : queue.ReleasedAt) at = static_cast<std::int64_t>(in.U64());
  queue.AwaitSince = static_cast<std::int64_t>(in.U64());
  for (bool& down : queue.Down) down = in.Flag();
  for (bool& down : queue.DownShifted) down = in.Flag();
  queue.ShiftLock = in.Flag();
  queue.TextShift = in.Flag();
  queue.TextKey = in.U8();
  const bool shiftHeld = in.Flag();
  if (in.Failed || queue.LineCredit < 0 || queue.LineCredit >= MostLinesPerFrame ||
      queue.AwaitSince < -1) {
    return false;
  }
  if (apply) {
    // The scans to come are counted from the machine's count as it stands.
    queue.Applied = Queue.Applied;
    queue.MachineScans = queue.MachineScansAtFrameEnd = CurrentMachine().KeyboardScanCount().Begun;
    Queue = std::move(queue);
    Host.ShiftHeld = shiftHeld;
  }
  return true;
}

void KeyQueueReleaseHostKeys() {
  std::erase_if(Queue.Events, [](const KeyEvent& event) { return !event.FromText; });
  std::memset(CurrentMachine().KeyMatrix(), 0xFF, 8);
  std::memset(HostKeyDown, 0, sizeof HostKeyDown);
  FollowHostKeys();
  std::fill(std::begin(Queue.Down), std::end(Queue.Down), false);
  // What the text holds goes down again, as the text's own events pressed it.
  if (Queue.TextShift) {
    PressKey(LeftShiftKey);
    Queue.Down[VirtualKeyShift] = true;
  }
  FollowShift();
  if (Queue.TextKey != 0) {
    ApplyKeyDown(Queue.TextKey, Host.ShiftHeld != 0);
    Queue.Down[Queue.TextKey] = true;
    Queue.DownShifted[Queue.TextKey] = Host.ShiftHeld != 0;
  }
  if (Queue.ShiftLock) PressKey(LeftShiftKey);
  Serve();
}

}  // namespace quillon
