// The fast path against the per-step reference: one scenario run twice, once through RunStep
// and once through RunUntilFrame, with everything a program could observe compared at every
// frame end.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quillon::test {

// What a program can observe at a frame end, each part hashed on its own so that a difference
// says where it lies.
struct MachineFingerprint {
  std::uint64_t Ram;
  std::uint64_t ColorRam;
  std::uint64_t Picture;
  std::uint64_t Borders;
  std::uint64_t Cpu;
  std::uint64_t Vic;
  std::uint64_t Cias;
  std::uint64_t Sid;
  std::uint64_t Counters;
  bool operator==(const MachineFingerprint&) const = default;
};

MachineFingerprint TakeFingerprint();

struct Scenario {
  std::string Name;
  // Powers the machine on and prepares it; called before each of the two runs.
  std::function<void()> Setup;
  // What the host does between frames (keys, register writes, resets) before frame `frame`.
  std::function<void(int frame)> BeforeFrame;
  int Frames;
};

// Runs the scenario through both paths. Returns an empty string when every frame end matched,
// else the first frame that differs and the parts that differ there.
std::string CompareFastPathWithReference(const Scenario& scenario);

// A key typed over four frames through the host key table: down before frame `first`, up
// before frame `first` + 2. Returns the frame after the text: `first` + 4 per character.
int TypeAt(const std::string& text, int first, int frame);

}  // namespace quillon::test
