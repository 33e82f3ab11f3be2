// Device 8 through the KERNAL: its LOAD and SAVE routines are caught where they would start
// talking to the drive over the serial bus, and the attached image does the work instead.
#pragma once

#include <cstdint>
#include <string>

namespace quillon {

// LOAD is $FFD5: JMP $F49E, which keeps X/Y in $C3/$C4 and jumps through the vector at $0330
// to $F4A5. There ST ($90) is cleared, device 0 and 3 are refused, devices 1-2 go to tape, an
// empty name gives ?MISSING FILE NAME and "SEARCHING FOR name" is printed; the trap sits on the
// next instruction, $F4C4, where the serial bus would be opened. SAVE is $FFD8: JMP $F5DD,
// which keeps the end in $AE/$AF and the start in $C1/$C2 and jumps through $0332 to $F5ED;
// after the same device and name checks the trap sits on the opening of the file, $F605.
// Programs that bend the vectors to their own loaders never get here, so they are never caught.
inline constexpr std::uint16_t KernalLoadTrap = 0xF4C4;
inline constexpr std::uint16_t KernalSaveTrap = 0xF605;

inline bool IsDiskTrap(std::uint16_t address) {
  return address == KernalLoadTrap || address == KernalSaveTrap;
}

// What the traps need of a machine model, between two instructions: its RAM, its memory as the
// processor sees it in the present banking (writes reach the chips where the I/O area is banked
// in; neither reads nor writes take a cycle), whether the KERNAL ROM is banked in, the program
// counter and the stack.
class DiskTrapMachine {
 public:
  virtual std::uint8_t* TrapRam() = 0;
  virtual std::uint8_t TrapRead(std::uint16_t address) = 0;
  virtual void TrapWrite(std::uint16_t address, std::uint8_t value) = 0;
  virtual bool KernalBankedIn() const = 0;
  virtual std::uint16_t TrapProgramCounter() const = 0;
  virtual void SetTrapProgramCounter(std::uint16_t address) = 0;
  virtual void TrapPush(std::uint8_t value) = 0;

 protected:
  ~DiskTrapMachine() = default;
};

// Called between two instructions when the program counter stands at one of the traps while
// the image at `imagePath` is attached. For device 8, with the KERNAL ROM banked in and
// unchanged at the places used, it loads or saves and sends the processor on into the KERNAL's
// own code for the message and the return; otherwise it changes nothing and the KERNAL goes on
// to the serial bus.
void ServeDiskTrap(DiskTrapMachine& machine, const std::string& imagePath);

}  // namespace quillon
