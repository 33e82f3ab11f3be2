// Snapshots: the whole machine in one file, to resume from later exactly where it stood. RAM,
// colour RAM, the CPU, the VIC-II with its frame image and per-line border colours, both CIAs,
// the SID's registers and envelopes, the processor port, the cartridge (attachment, path and
// image), the video standard, the key matrix, the typing queue and the frame counters.
//
// The file: the magic "QUILSNAP", the format version, the header's size, the body's size and
// the body's CRC-32, all little-endian, then the body: blocks of a four-letter tag, a size and
// the data, in the order the version lays down. A snapshot that is damaged, cut short or of a
// newer format is refused, and the machine stays as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "interface/machine.h"

namespace quillon {

inline constexpr std::uint32_t SnapshotFormatVersion = 1;
inline constexpr std::size_t SnapshotHeaderSize = 24;
// Far above what a snapshot takes (about 200 KB and the typing queue): a larger file is none.
inline constexpr std::size_t SnapshotMaxSize = 16 << 20;
inline constexpr char SnapshotFileFilter[] = "Quillon snapshot (*.qsn)\0*.QSN\0";

// The machine as it stands between two runs of the emulation.
std::vector<std::uint8_t> SnapshotSave();

// Puts the machine into the state the snapshot holds. Returns an empty string, or what is
// wrong with it ("is cut short", ...), to follow the file's name; the machine is then unchanged.
// A snapshot of another model than the machine in use's goes into a new machine of its model,
// with the same disk in its drive, which `replacement` receives for the caller to put in use
// (without one such a snapshot is refused).
std::string SnapshotLoad(const std::uint8_t* data, std::size_t size,
                         std::unique_ptr<Machine>* replacement = nullptr);

// The same through a file: written to a temporary file that then takes the name. Each returns
// an empty string or one line that says what went wrong, naming the file.
std::string SnapshotSaveFile(const std::string& path);
std::string SnapshotLoadFile(const std::string& path,
                             std::unique_ptr<Machine>* replacement = nullptr);

// The CRC-32 of `size` bytes (the polynomial of zip and PNG).
std::uint32_t SnapshotChecksum(const std::uint8_t* data, std::size_t size);

}  // namespace quillon
