#include "app/autostart.h"

#include "app/command_line.h"
#include "interface/machine.h"
#include "keyboard/key_queue.h"
#include "monitor/monitor.h"
#include "session/session.h"

namespace quillon {
namespace {

// The keyboard buffer's count, where a loaded program's RUN waits to be typed.
constexpr std::uint16_t KeyboardBufferCount = 0xC6;

// The run whose start the monitor may change.
Autostart* Lent = nullptr;

// Types `text` ahead of everything queued; returns when it will have been typed.
std::uint64_t TypeAhead(const char* text) {
  std::vector<TypedKey> keys;
  TranslateTypedText(text, keys);
  return KeyQueueTypeAhead(keys);
}

// The file's next step, once BASIC waits for input; true when the file is started.
bool StartStep(Autostart& start) {
  Machine& machine = CurrentMachine();
  if (!BasicWaitsForInput(machine)) return false;
  if (!IsDiskImageFile(start.File)) {
    machine.LoadProgram(start.File);
    // Loaded only: the RUN it typed is taken back out of the keyboard buffer.
    if (!start.Run) machine.Ram()[KeyboardBufferCount] = 0;
    return true;
  }
  if (start.LoadTypedAt == 0) {
    start.LoadTypedAt = TypeAhead("LOAD\"*\",8,1\n");
    return false;
  }
  // BASIC waits again after the LOAD: the program is in memory.
  if (KeyQueueApplied() < start.LoadTypedAt) return false;
  if (start.Run) TypeAhead("RUN\n");
  return true;
}

std::string StartFromMonitor(const std::string& path, bool run) {
  std::string error = CheckStartFile(path);
  if (!error.empty()) return error;
  Autostart next = AttachStartFile(path, "", std::move(Lent->Text), error);
  next.Run = run;
  *Lent = std::move(next);
  return error;
}

}  // namespace

Autostart AttachStartFile(const std::string& file, const std::string& disk,
                          std::vector<TypedKey> text, std::string& error) {
  // The command line has checked both images already.
  Machine& machine = CurrentMachine();
  if (!disk.empty()) machine.AttachDisk(disk);
  Autostart start{file, std::move(text), 0, true};
  if (IsCartridgeFile(file)) {
    machine.AttachCartridge(file);
    start.File.clear();
  } else if (IsDiskImageFile(file)) {
    machine.AttachDisk(file);
    error = CheckDiskHasProgram(file);
    if (!error.empty()) start.File.clear();
  }
  return start;
}

void LendAutostartToMonitor(Autostart* start) {
  Lent = start;
  MonitorStartFile = start != nullptr ? StartFromMonitor : nullptr;
}

void FinishPass(std::int32_t frames, Autostart& start) {
  if (!start.File.empty() && StartStep(start)) start.File.clear();
  // The text waits for BASIC behind the start: a program started first takes BASIC away from
  // its wait for input until it ends.
  if (start.File.empty() && !start.Text.empty()) {
    KeyQueueType(start.Text, true);
    start.Text.clear();
  }
  KeyQueueFramesPassed(frames);
}

}  // namespace quillon
