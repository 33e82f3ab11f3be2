#include "app/autostart.h"

#include <cstdint>
#include <vector>

#include "interface/machine.h"
#include "keyboard/key_queue.h"
#include "media/disk_drive.h"
#include "media/program_file.h"
#include "session/session.h"

namespace quillon {

std::string AttachStartFile(const std::string& file, const std::string& disk) {
  // The command line has checked both images already.
  Machine& machine = CurrentMachine();
  if (!disk.empty()) machine.AttachDisk(disk);
  if (IsDiskImageFile(file)) machine.AttachDisk(file);
  if (!IsCartridgeFile(file)) return file;
  machine.AttachCartridge(file);
  return "";
}

void StartFile(const std::string& file) {
  Machine& machine = CurrentMachine();
  if (!IsDiskImageFile(file)) {
    machine.LoadProgram(file);
    return;
  }
  // The bytes go where the file says, as with secondary address 1; BASIC's pointers then
  // follow the end as after a LOAD typed in direct mode, and RUN is typed.
  static constexpr std::uint8_t FirstFile[] = {'*'};
  std::vector<std::uint8_t> bytes;
  if (DiskLoad(machine.DiskPath(), FirstFile, bytes) != DiskStatus::Ok) return;
  std::uint8_t* ram = machine.Ram();
  std::uint16_t address = static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
  for (std::size_t i = 2; i < bytes.size(); ++i) ram[address++] = bytes[i];
  StartLoadedProgram(ram, address);
}

void FinishPass(std::int32_t frames, std::string& program) {
  // Between passes the machine stands at a frame end; sooner or later one finds the KERNAL in
  // its keyboard wait. A program started there takes BASIC away from the wait, so typed text
  // that waits for BASIC comes after the program.
  if (!program.empty() && BasicWaitsForInput(CurrentMachine())) {
    StartFile(program);
    program.clear();
  }
  KeyQueueFramesPassed(frames);
}

}  // namespace quillon
