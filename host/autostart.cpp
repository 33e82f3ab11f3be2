#include "host/autostart.h"

#include <cstdint>
#include <vector>

#include "core/machine.h"
#include "cpu/cpu.h"
#include "host/command_line.h"
#include "media/cartridge.h"
#include "media/disk_drive.h"
#include "media/program_file.h"

namespace quillon {
namespace {

// The KERNAL's keyboard wait: LDA $C6 / STA $CC / STA $0292 / BEQ back, at $E5CD-$E5D5.
constexpr std::uint16_t KeyboardWaitStart = 0xE5CD;
constexpr std::uint16_t KeyboardWaitEnd = 0xE5D5;
constexpr std::uint16_t KeyboardBufferCount = 0xC6;
constexpr std::uint16_t CursorBlinkOff = 0xCC;

}  // namespace

bool BasicWaitsForInput() {
  return Cpu.PC >= KeyboardWaitStart && Cpu.PC <= KeyboardWaitEnd &&
         MainRam[KeyboardBufferCount] == 0 && MainRam[CursorBlinkOff] == 0;
}

std::string AttachStartFile(const std::string& file, const std::string& disk) {
  // The command line has checked both images already.
  if (!disk.empty()) AttachDiskImage(disk);
  if (IsDiskImageFile(file)) AttachDiskImage(file);
  if (!IsCartridgeFile(file)) return file;
  AttachCartridge(file);
  return "";
}

void StartFile(const std::string& file) {
  if (!IsDiskImageFile(file)) {
    LoadProgramFile(file.c_str());
    return;
  }
  // The bytes go where the file says, as with secondary address 1; BASIC's pointers then
  // follow the end as after a LOAD typed in direct mode.
  static constexpr std::uint8_t FirstFile[] = {'*'};
  std::vector<std::uint8_t> bytes;
  if (DiskLoad(FirstFile, bytes) != DiskStatus::Ok) return;
  std::uint16_t address = static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
  for (std::size_t i = 2; i < bytes.size(); ++i) MainRam[address++] = bytes[i];
  StartLoadedProgram(address);
}

void StartProgramOnceBasicWaits(std::string& program) {
  // Between passes the machine stands at a frame end; sooner or later one finds the KERNAL in
  // its keyboard wait.
  if (program.empty() || !BasicWaitsForInput()) return;
  StartFile(program);
  program.clear();
}

}  // namespace quillon
