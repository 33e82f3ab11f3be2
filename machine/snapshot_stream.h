// The byte streams a snapshot is made of: little-endian fields appended to a buffer, and read
// back with every read checked against the end of the data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace quillon {

struct SnapshotWriter {
  std::vector<std::uint8_t> Bytes;

  void Unsigned(std::uint64_t value, int size) {
    for (int i = 0; i < size; ++i) Bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  }
  void U8(std::uint8_t value) { Bytes.push_back(value); }
  void U16(std::uint16_t value) { Unsigned(value, 2); }
  void U32(std::uint32_t value) { Unsigned(value, 4); }
  void U64(std::uint64_t value) { Unsigned(value, 8); }
  void Block(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    Bytes.insert(Bytes.end(), bytes, bytes + size);
  }
};

// A read past the end gives zeros and sets Failed, so that a parser can read a whole record and
// look once at the end.
struct SnapshotReader {
  const std::uint8_t* Data;
  std::size_t Size;
  std::size_t Position = 0;
  bool Failed = false;

  bool Take(std::size_t size) {
    if (Failed || size > Size - Position) {
      Failed = true;
      return false;
    }
    Position += size;
    return true;
  }
  std::uint64_t Unsigned(int size) {
    if (!Take(static_cast<std::size_t>(size))) return 0;
    std::uint64_t value = 0;
    for (int i = 0; i < size; ++i) value |= std::uint64_t{Data[Position - size + i]} << (8 * i);
    return value;
  }
  std::uint8_t U8() { return static_cast<std::uint8_t>(Unsigned(1)); }
  std::uint16_t U16() { return static_cast<std::uint16_t>(Unsigned(2)); }
  std::uint32_t U32() { return static_cast<std::uint32_t>(Unsigned(4)); }
  std::uint64_t U64() { return Unsigned(8); }
  void Block(void* data, std::size_t size) {
    if (size == 0) return;
    if (Take(size)) {
      std::memcpy(data, Data + Position - size, size);
    } else {
      std::memset(data, 0, size);
    }
  }
  // A flag stored as one byte: 0 or 1, anything else marks the data as damaged.
  bool Flag() {
    const std::uint8_t value = U8();
    if (value > 1) Failed = true;
    return value != 0;
  }
};

}  // namespace quillon
