// Hex numbers as the debugging tools write them: upper-case digits, a fixed number of them.
#pragma once

namespace quillon {

// Writes the low `digits` hex digits of `value` at `out`, the highest first; returns the end.
inline char* PutHex(char* out, unsigned value, int digits) {
  constexpr char HexDigits[] = "0123456789ABCDEF";
  for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) {
    *out++ = HexDigits[(value >> shift) & 0xF];
  }
  return out;
}

}  // namespace quillon
