// The VIC-II of the cycle-exact machine, as the processor sees it: the 6569 (PAL, 63 cycles x
// 312 lines) and the 6567R8 (NTSC, 65 x 263). The chip keeps its raster position against the
// machine's clock and works lazily: the owner calls StartCycle at the cycles NextEvent names,
// before that cycle's bus access, and nowhere else; between two events nothing about the chip
// changes that the processor could see.
//
// What it does at those cycles, in line cycles counted from 1:
//   1       a new line: RASTER moves on and is compared with the raster compare value (line 0
//           moves and compares in cycle 2; in cycle 1 of line 0 RASTER still reads the last line)
//   14      VC <- VCBASE; RC <- 0 on a bad line
//   16      sprites: MCBASE moves on by a row where the expansion flip-flop is set; DMA ends
//           at MCBASE 63
//   55, 56  sprites: the expansion flip-flops turn over, DMA starts where Y matches
//   58      (NTSC 60) the line is drawn; sprites: MC <- MCBASE, display on or off, the next
//           line's sprite data fetched; RC/VCBASE and idle state
//   and every cycle in which BA goes low, so that the owner can hold reads up until it is high:
//   from cycle 12 to 54 of a bad line and from three cycles before to one cycle after each
//   active sprite's pointer fetch. A write reaches the chip in its cycle and counts from the
//   next one: the owner asks for an event there after every write.
//
// The picture is drawn a line at a time, at the line's cycle 58, from the registers and the
// memory as they stand then; the fetches that feed it (the c-accesses of a bad line, the
// sprites' s-accesses) are taken in one go by the line drawer (vic_line.h), so that the per-cycle
// drawing that replaces it need only take them at their own cycles.
#pragma once

#include <cstdint>

#include "accurate/vic_line.h"
#include "interface/snapshot_stream.h"

namespace quillon::accurate {

// The chip's timing for one video standard.
struct VicTiming {
  int CyclesPerLine;
  int LinesPerFrame;
  int DisplayCheckCycle;            // where MC, the sprites' display and RC are updated
  std::uint8_t PointerCycle[8];     // each sprite's p-access
  std::uint16_t LeftmostX;          // sprite X values from here on lie left of X = 0 ...
  std::uint16_t XWrap;              // ... by this much
};
inline constexpr VicTiming PalTiming = {63, 312, 58, {58, 60, 62, 1, 3, 5, 7, 9}, 0x1E0, 0x1F8};
inline constexpr VicTiming NtscTiming = {65, 263, 60, {60, 62, 64, 1, 3, 5, 7, 9}, 0x1E9, 0x200};

// What StartCycle reports: a raster line ended just before the cycle, and whether it was the
// frame's last.
enum class LineEnd : std::uint8_t { None, Line, Frame };

class VicII {
 public:
  explicit VicII(const VicMemory& memory) : Memory(memory) {}

  // Power-on at `clock`: line 0, cycle 1, every register 0.
  void PowerOn(bool pal, std::uint64_t clock);
  bool Pal() const { return S.Pal; }
  // Takes effect from the next line on.
  void SetPal(bool pal) { S.PendingPal = pal; }
  bool PendingPal() const { return S.PendingPal; }
  int LinesPerFrame() const { return Timing().LinesPerFrame; }

  // --- Time ---
  // The next cycle at whose start the chip has work; at most the next line's first.
  std::uint64_t NextEvent() const { return S.NextEventClock; }
  // The chip's work at the start of cycle `clock` (>= NextEvent()).
  LineEnd StartCycle(std::uint64_t clock);
  // BA is low from the cycle StartCycle last ran up to this cycle (not included): reads wait.
  std::uint64_t BaLowUntil() const { return S.BaLowUntil; }
  // The /IRQ output.
  bool IrqAsserted() const { return (S.InterruptLatch & S.InterruptEnable & 0x0F) != 0; }

  // --- Registers (reg 0-63) ---
  std::uint8_t Read(int reg, std::uint64_t clock);
  // What Read would return, without clearing the collision registers.
  std::uint8_t Peek(int reg, std::uint64_t clock) const;
  void Write(int reg, std::uint8_t value, std::uint64_t clock);

  // The 16 KB bank (0-3) that CIA 2's port A selects.
  void SetBank(std::uint8_t bank) { S.Bank = bank & 3; }
  // The byte the chip reads in the first half of cycle `clock`: what the processor finds on an
  // open bus.
  std::uint8_t Phi1Byte(std::uint64_t clock) const;

  std::uint16_t ScreenAddress() const;
  std::uint16_t RasterCompare() const { return S.Compare; }
  // The raster line now running and the cycle within it (from 1).
  int Line() const { return S.Line; }
  int LineCycle(std::uint64_t clock) const { return static_cast<int>(clock - S.LineStart) + 1; }

  // Where the lines are drawn: the display window (PictureWidth x PictureHeight) and the border
  // colour of each line (BorderTableLines).
  void SetPicture(std::uint8_t* window, std::uint8_t* borders) {
    Window = window;
    Borders = borders;
  }

  void Save(SnapshotWriter& out) const;
  // False for damaged data, which leave the chip as it was.
  bool Load(SnapshotReader& in);

 private:
  // The BA-low cycles of a line, bit n for line cycle n (1-65).
  struct CycleMask {
    std::uint64_t Low = 0;   // cycles 0-63
    std::uint64_t High = 0;  // cycles 64-127
    bool Test(int cycle) const;
    void Set(int cycle);
    // The first set cycle from `cycle` on, or `limit` when none comes before it.
    int NextSet(int cycle, int limit) const;
    // The first clear cycle from `cycle` on.
    int NextClear(int cycle) const;
  };

  struct Sprite {
    std::uint8_t Mc;
    std::uint8_t McBase;
    bool ExpandFlop;
    bool Dma;
    bool Display;
    std::uint32_t Data;  // the row fetched for the next line, first pixel in bit 23
  };

  struct State {
    bool Pal;
    bool PendingPal;
    std::uint8_t Registers[64];
    std::uint16_t Line;
    std::uint64_t LineStart;  // the clock of the line's cycle 1
    std::uint16_t Compare;
    bool CompareMatch;   // RASTER equalled the compare value at the last comparison
    bool RasterIrqDone;  // the raster interrupt came in this line
    std::uint8_t InterruptLatch;
    std::uint8_t InterruptEnable;
    std::uint8_t SpriteSprite;      // $D01E
    std::uint8_t SpriteBackground;  // $D01F
    std::uint8_t Bank;
    bool DenLatch;
    bool BadLine;       // the bad line condition as last evaluated
    bool BadLineSeen;   // this line had one: its c-accesses fill the matrix line
    bool DisplayState;
    bool VerticalBorder;
    std::uint16_t Vc;
    std::uint16_t VcBase;
    std::uint8_t Rc;
    std::uint8_t MatrixLine[40];  // the c-accesses' character codes or bitmap colours
    std::uint8_t ColorLine[40];   // and colour nibbles
    Sprite Sprites[8];
    CycleMask SpriteBa;      // this line's sprite DMA cycles
    CycleMask NextSpriteBa;  // the next line's, decided in this one
    std::uint64_t BaLowUntil;
    std::uint64_t NextEventClock;
  };

  template <class Stream, class Self>
  static void Fields(Stream& s, Self& state);

  const VicTiming& Timing() const { return S.Pal ? PalTiming : NtscTiming; }
  std::uint64_t ClockOf(int cycle) const { return S.LineStart + static_cast<unsigned>(cycle) - 1; }
  std::uint16_t RasterAt(std::uint64_t clock) const;
  bool BadLineCondition() const;
  void NewLine();
  void CompareRaster();
  void Latch(std::uint8_t bits) { S.InterruptLatch |= bits; }
  void UpdateBadLine(int cycle);
  void SpriteDmaCheck(bool toggleFlops);
  void SpriteCounters();
  void DisplayCheck();
  void DrawLine();
  bool BaLowAt(int cycle) const;
  int NextFixedEvent(int cycle) const;
  void Schedule(int cycle);
  std::uint8_t Fetch(unsigned address) const { return VicFetch(Memory, S.Bank, address); }
  unsigned MatrixBase() const { return (S.Registers[0x18] & 0xF0u) << 6; }

  VicMemory Memory;
  std::uint8_t* Window = nullptr;
  std::uint8_t* Borders = nullptr;
  State S{};
};

}  // namespace quillon::accurate
