// The byte streams a snapshot is made of: little-endian fields appended to a buffer, and read
// back with every read checked against the end of the data.
//
// Each chip lists its fields once, in a function template over the stream: Field, Flag and
// Raw save them through a SnapshotWriter and load them through a SnapshotReader, so that a
// field added to a chip is added in one place for both directions.
#pragma once

#include <concepts>
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

  // The two-way fields: an unsigned integer at its own width, a flag as one byte, raw bytes.
  template <std::unsigned_integral T>
  void Field(const T& value) {
    Unsigned(value, sizeof(T));
  }
  template <class T>
  void Flag(const T& value) {
    U8(static_cast<std::uint8_t>(value));
  }
  void Raw(const void* data, std::size_t size) { Block(data, size); }
  // A string of bytes behind its 32-bit length.
  void Sized(const void* data, std::size_t size) {
    U32(static_cast<std::uint32_t>(size));
    Block(data, size);
  }

  // A block: a four-letter tag and the size of the data that follow, filled in at its end.
  std::size_t BeginBlock(const char (&tag)[5]) {
    Block(tag, 4);
    U32(0);
    return Bytes.size();
  }
  void EndBlock(std::size_t start) {
    const auto size = static_cast<std::uint32_t>(Bytes.size() - start);
    for (int i = 0; i < 4; ++i) Bytes[start - 4 + i] = static_cast<std::uint8_t>(size >> (8 * i));
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

  // The two-way fields, as SnapshotWriter's.
  template <std::unsigned_integral T>
  void Field(T& value) {
    value = static_cast<T>(Unsigned(sizeof(T)));
  }
  template <class T>
  void Flag(T& value) {
    value = static_cast<T>(Flag());
  }
  void Raw(void* data, std::size_t size) { Block(data, size); }
  // A string of bytes behind its 32-bit length, at most `limit` of them: a longer one is
  // damage, not a reason to allocate.
  bool Sized(std::vector<std::uint8_t>& bytes, std::size_t limit) {
    const std::uint32_t size = U32();
    if (Failed || size > limit || size > Size - Position) return false;
    bytes.resize(size);
    Block(bytes.data(), size);
    return true;
  }

  // Reads a block's tag and size; the block's data must lie within what is left. Returns where
  // its data end, or 0 when the block is not there.
  std::size_t OpenBlock(const char (&tag)[5]) {
    char found[4];
    Block(found, 4);
    const std::uint32_t size = U32();
    if (Failed || std::memcmp(found, tag, 4) != 0 || size > Size - Position) return 0;
    return Position + size;
  }
  // The data of a block were read to their end exactly.
  bool CloseBlock(std::size_t end) const { return !Failed && Position == end; }
};

}  // namespace quillon
