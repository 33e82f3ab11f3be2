// Device 8 through the KERNAL: its LOAD and SAVE routines are caught where they would start
// talking to the drive over the serial bus, and the attached image does the work instead.
#pragma once

#include <cstdint>

namespace quillon {

// Within LOAD (entered through $FFD5 and the vector at $0330): the instruction after
// "SEARCHING FOR name" has been printed. Within SAVE ($FFD8, vector $0332): the opening of the
// file, before "SAVING name". Programs that bend the vectors to their own loaders never get
// here, so they are never caught.
inline constexpr std::uint16_t KernalLoadTrap = 0xF4C4;
inline constexpr std::uint16_t KernalSaveTrap = 0xF605;

inline bool IsDiskTrap(std::uint16_t address) {
  return address == KernalLoadTrap || address == KernalSaveTrap;
}

// Called by the CPU's service step when the program counter stands at one of the traps while
// an image is attached. For device 8, with the KERNAL ROM banked in and unchanged at the
// places used, it loads or saves and sends the CPU on into the KERNAL's own code for the
// message and the return; otherwise it changes nothing and the KERNAL goes on to the serial
// bus.
void ServeDiskTrap();

}  // namespace quillon
