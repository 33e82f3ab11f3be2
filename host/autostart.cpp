#include "host/autostart.h"

#include <cstdint>

#include "core/machine.h"
#include "cpu/cpu.h"
#include "host/command_line.h"
#include "media/cartridge.h"
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

std::string AttachStartFile(const std::string& file) {
  if (!IsCartridgeFile(file)) return file;
  AttachCartridge(file);
  return "";
}

void StartProgramOnceBasicWaits(std::string& program) {
  // Between passes the machine stands at a frame end; sooner or later one finds the KERNAL in
  // its keyboard wait.
  if (program.empty() || !BasicWaitsForInput()) return;
  LoadProgramFile(program.c_str());
  program.clear();
}

}  // namespace quillon
