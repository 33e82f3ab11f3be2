// The VIC-II's register numbers, register bits and fixed line cycles, shared by its timing
// (vic_ii.cpp) and its drawing (vic_draw.cpp).
#pragma once

#include <cstdint>

namespace quillon::accurate::vic {

// Register numbers.
inline constexpr int SpriteX0 = 0x00;
inline constexpr int SpriteY0 = 0x01;
inline constexpr int SpriteXHigh = 0x10;
inline constexpr int Control1 = 0x11;
inline constexpr int RasterRegister = 0x12;
inline constexpr int LightPenX = 0x13;
inline constexpr int LightPenY = 0x14;
inline constexpr int SpriteEnable = 0x15;
inline constexpr int Control2 = 0x16;
inline constexpr int SpriteExpandY = 0x17;
inline constexpr int MemoryPointers = 0x18;
inline constexpr int InterruptRegister = 0x19;
inline constexpr int InterruptEnableRegister = 0x1A;
inline constexpr int SpritePriority = 0x1B;
inline constexpr int SpriteMulticolor = 0x1C;
inline constexpr int SpriteExpandX = 0x1D;
inline constexpr int SpriteSpriteCollision = 0x1E;
inline constexpr int SpriteBackgroundCollision = 0x1F;
inline constexpr int BorderColor = 0x20;
inline constexpr int Background0 = 0x21;
inline constexpr int SpriteMulticolor0 = 0x25;
inline constexpr int SpriteColor0 = 0x27;
inline constexpr int LastColor = 0x2E;

// $D011 and $D016.
inline constexpr std::uint8_t Ecm = 0x40;
inline constexpr std::uint8_t Bmm = 0x20;
inline constexpr std::uint8_t Den = 0x10;
inline constexpr std::uint8_t Rsel = 0x08;
inline constexpr std::uint8_t Mcm = 0x10;
inline constexpr std::uint8_t Csel = 0x08;

// Interrupt latch bits.
inline constexpr std::uint8_t RasterInterrupt = 0x01;
inline constexpr std::uint8_t BackgroundCollisionInterrupt = 0x02;
inline constexpr std::uint8_t SpriteCollisionInterrupt = 0x04;
inline constexpr std::uint8_t LightPenInterrupt = 0x08;

// Fixed cycles of every line.
inline constexpr int FirstBadLineBaCycle = 12;
inline constexpr int VideoCounterCycle = 14;
inline constexpr int FirstCAccessCycle = 15;
inline constexpr int SpriteCrunchCycle = 15;
inline constexpr int FirstGAccessCycle = 16;
inline constexpr int SpriteBaseCycle = 16;
inline constexpr int LastCAccessCycle = 54;
inline constexpr int LastGAccessCycle = 55;
// A c-access made before BA has been low for this many cycles finds the processor still on the
// bus.
inline constexpr int BusTakeoverCycles = 3;

inline constexpr int Columns = 40;
inline constexpr std::uint8_t SpriteCounterMask = 0x3F;
// A sprite's shift register holds 24 pixels, counted in halves (an X-expanded one shifts every
// other pixel).
inline constexpr std::uint8_t SpriteShiftEnd = 48;

}  // namespace quillon::accurate::vic
