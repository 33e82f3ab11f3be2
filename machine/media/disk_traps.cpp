#include "media/disk_traps.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <vector>

#include "core/rom_images.h"
#include "media/disk_drive.h"

namespace quillon {
namespace {

// The KERNAL's variables on page zero.
constexpr std::uint16_t LoadOrVerify = 0x93;     // 0 LOAD, otherwise VERIFY
constexpr std::uint16_t Status = 0x90;           // ST: bit 1 read timeout, 4 verify error, 6 end
constexpr std::uint16_t FileNameLength = 0xB7;
constexpr std::uint16_t SecondaryAddress = 0xB9;
constexpr std::uint16_t DeviceNumber = 0xBA;
constexpr std::uint16_t FileNamePointer = 0xBB;
constexpr std::uint16_t LoadStart = 0xC3;         // the X/Y that LOAD was called with
constexpr std::uint16_t SaveStart = 0xC1;
constexpr std::uint16_t EndAddress = 0xAE;        // LOAD: one past the last byte; SAVE: the end
constexpr std::uint8_t DiskDevice = 8;

constexpr std::uint8_t StatusReadTimeout = 0x02;
constexpr std::uint8_t StatusVerifyError = 0x10;
constexpr std::uint8_t StatusEndOfFile = 0x40;

// Where the trap hands the CPU back to the KERNAL:
// - $F5D2 prints "LOADING" (or "VERIFYING") in direct mode and returns;
// - $F5A9 (inside the BIT at $F5A8) is LOAD's good end: CLC, X/Y = $AE/$AF, RTS. BASIC then
//   prints ?LOAD ERROR when ST AND $BF is not 0 and ?VERIFY ERROR when ST has bit 4;
// - $F68F prints "SAVING name" in direct mode and returns;
// - $F657 is SAVE's good end, CLC and RTS;
// - $F6FB + 3 * (n - 1) loads error number n into A, closes the channels, prints "I/O ERROR #n"
//   when the KERNAL's messages are on, and returns with the carry set; BASIC prints the
//   message of error n (1 TOO MANY FILES, 2 FILE OPEN, 4 FILE NOT FOUND, 7 NOT OUTPUT FILE,
//   8 MISSING FILE NAME).
constexpr std::uint16_t PrintLoading = 0xF5D2;
constexpr std::uint16_t LoadDone = 0xF5A9;
constexpr std::uint16_t PrintSaving = 0xF68F;
constexpr std::uint16_t SaveDone = 0xF657;
constexpr std::uint16_t ErrorEntries = 0xF6FB;

constexpr std::uint8_t ErrorTooManyFiles = 1;
constexpr std::uint8_t ErrorFileOpen = 2;
constexpr std::uint8_t ErrorFileNotFound = 4;
constexpr std::uint8_t ErrorNotOutputFile = 7;
constexpr std::uint8_t ErrorMissingFileName = 8;

// The KERNAL's bytes at every place the traps enter or leave it. Another KERNAL in the ROM
// image (one may replace it at start-up) is left to its own serial code.
struct RomSignature {
  std::uint16_t Address;
  std::uint8_t Bytes[12];
  std::uint8_t Length;
};
constexpr RomSignature KernalSignatures[] = {
    {KernalLoadTrap, {0xA9, 0x60, 0x85, 0xB9, 0x20, 0xD5, 0xF3}, 7},
    {LoadDone - 1, {0x24, 0x18, 0xA6, 0xAE, 0xA4, 0xAF, 0x60}, 7},
    {PrintLoading, {0xA0, 0x49, 0xA5, 0x93, 0xF0, 0x02, 0xA0, 0x59, 0x4C, 0x2B, 0xF1}, 11},
    {KernalSaveTrap, {0x20, 0xD5, 0xF3, 0x20, 0x8F, 0xF6}, 6},
    {SaveDone, {0x18, 0x60}, 2},
    {PrintSaving, {0xA5, 0x9D, 0x10, 0xFB, 0xA0, 0x51, 0x20, 0x2F, 0xF1, 0x4C, 0xC1, 0xF5}, 12},
    {ErrorEntries, {0xA9, 0x01, 0x2C, 0xA9, 0x02, 0x2C, 0xA9, 0x03, 0x2C, 0xA9, 0x04, 0x2C}, 12},
    {ErrorEntries + 12, {0xA9, 0x05, 0x2C, 0xA9, 0x06, 0x2C, 0xA9, 0x07, 0x2C, 0xA9, 0x08, 0x2C}, 12},
};

bool KernalMatches() {
  return std::all_of(std::begin(KernalSignatures), std::end(KernalSignatures),
                     [](const RomSignature& signature) {
                       return std::memcmp(RomImages.Kernal + (signature.Address - 0xE000),
                                          signature.Bytes, signature.Length) == 0;
                     });
}

std::uint16_t ReadWord(const std::uint8_t* ram, std::uint16_t address) {
  return static_cast<std::uint16_t>(ram[address] | ram[address + 1] << 8);
}

void WriteWord(std::uint8_t* ram, std::uint16_t address, std::uint16_t value) {
  ram[address] = static_cast<std::uint8_t>(value);
  ram[address + 1] = static_cast<std::uint8_t>(value >> 8);
}

// Continues at `routine`, whose RTS goes on at `then`, as a JSR from just before `then` would.
void CallThen(DiskTrapMachine& machine, std::uint16_t routine, std::uint16_t then) {
  const std::uint16_t returnAddress = static_cast<std::uint16_t>(then - 1);
  machine.TrapPush(static_cast<std::uint8_t>(returnAddress >> 8));
  machine.TrapPush(static_cast<std::uint8_t>(returnAddress));
  machine.SetTrapProgramCounter(routine);
}

std::uint16_t ErrorEntry(std::uint8_t error) {
  return static_cast<std::uint16_t>(ErrorEntries + 3 * (error - 1));
}

// LOAD and VERIFY. The bytes go through the bus like the KERNAL's own STA ($AE),Y: under the
// ROMs into RAM, into the chips where the I/O area is banked in.
void ServeLoad(DiskTrapMachine& machine, const std::string& imagePath,
               std::span<const std::uint8_t> name) {
  std::uint8_t* ram = machine.TrapRam();
  std::vector<std::uint8_t> file;
  const DiskStatus status = DiskLoad(imagePath, name, file);
  if (status == DiskStatus::NotFound) {
    machine.SetTrapProgramCounter(ErrorEntry(ErrorFileNotFound));
    return;
  }
  // Secondary address 0 loads to where the caller asked (BASIC's start), any other to the
  // file's own load address.
  std::uint16_t address = ram[SecondaryAddress] == 0 || file.size() < 2
                              ? ReadWord(ram, LoadStart)
                              : static_cast<std::uint16_t>(file[0] | file[1] << 8);
  if (status != DiskStatus::Ok) {
    // A damaged image loads nothing and ends like a drive that stopped answering.
    ram[Status] |= StatusReadTimeout | StatusEndOfFile;
  } else {
    const bool verify = ram[LoadOrVerify] != 0;
    for (std::size_t i = 2; i < file.size(); ++i, ++address) {
      if (!verify) {
        machine.TrapWrite(address, file[i]);
      } else if (machine.TrapRead(address) != file[i]) {
        ram[Status] |= StatusVerifyError;
      }
    }
    ram[Status] |= StatusEndOfFile;
  }
  WriteWord(ram, EndAddress, address);
  CallThen(machine, PrintLoading, LoadDone);
}

std::uint8_t SaveError(DiskStatus status) {
  switch (status) {
    case DiskStatus::Exists:
      return ErrorFileOpen;
    case DiskStatus::DiskFull:
    case DiskStatus::DirectoryFull:
      return ErrorTooManyFiles;
    case DiskStatus::BadName:
      return ErrorMissingFileName;
    default:
      return ErrorNotOutputFile;
  }
}

// SAVE of start ($C1/$C2) up to, not including, the end ($AE/$AF); the bytes are read
// through the bus like the KERNAL's own LDA ($AC),Y.
void ServeSave(DiskTrapMachine& machine, const std::string& imagePath,
               std::span<const std::uint8_t> name) {
  const std::uint8_t* ram = machine.TrapRam();
  const std::uint16_t start = ReadWord(ram, SaveStart);
  const std::uint16_t end = ReadWord(ram, EndAddress);
  std::vector<std::uint8_t> file = {static_cast<std::uint8_t>(start),
                                    static_cast<std::uint8_t>(start >> 8)};
  for (std::uint32_t address = start; address < end; ++address) {
    file.push_back(machine.TrapRead(static_cast<std::uint16_t>(address)));
  }
  const DiskStatus status = DiskSave(imagePath, name, file);
  CallThen(machine, PrintSaving,
           status == DiskStatus::Ok ? SaveDone : ErrorEntry(SaveError(status)));
}

}  // namespace

void ServeDiskTrap(DiskTrapMachine& machine, const std::string& imagePath) {
  const std::uint8_t* ram = machine.TrapRam();
  if (ram[DeviceNumber] != DiskDevice || !machine.KernalBankedIn() || !KernalMatches()) return;
  // The name as the KERNAL reads it, through the bus.
  std::uint8_t name[256];
  const std::uint8_t length = ram[FileNameLength];
  const std::uint16_t pointer = ReadWord(ram, FileNamePointer);
  for (std::uint8_t i = 0; i < length; ++i) {
    name[i] = machine.TrapRead(static_cast<std::uint16_t>(pointer + i));
  }
  if (machine.TrapProgramCounter() == KernalLoadTrap) {
    ServeLoad(machine, imagePath, {name, length});
  } else {
    ServeSave(machine, imagePath, {name, length});
  }
}

}  // namespace quillon
