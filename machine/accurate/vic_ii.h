// The VIC-II of the cycle-exact machine: the 6569 (PAL, 63 cycles x 312 lines) and the 6567R8
// (NTSC, 65 x 263). The chip keeps its raster position against the machine's clock and works
// lazily: the owner calls StartCycle at the cycles NextEvent names, before that cycle's bus
// access, and nowhere else; between two events nothing about the chip changes that the
// processor could see.
//
// What it does at those cycles, in line cycles counted from 1:
//   1       a new line: RASTER moves on and is compared with the raster compare value (line 0
//           moves and compares in cycle 2; in cycle 1 of line 0 RASTER still reads the last line)
//   14      VC <- VCBASE, VMLI <- 0; RC <- 0 on a bad line
//   16      sprites: MCBASE moves on by a row where the expansion flip-flop is set; DMA ends
//           at MCBASE 63
//   55, 56  sprites: the expansion flip-flops turn over, DMA starts where Y matches
//   58      (NTSC 60) sprites: MC <- MCBASE, display on or off; RC/VCBASE and idle state
//   and every cycle in which BA falls or rises, so that the owner can hold reads up while it is
//   low: from cycle 12 to 54 while the bad line condition holds and from three cycles before to
//   one cycle after each active sprite's pointer fetch. A write reaches the chip in its cycle
//   and counts from the next one: the owner asks for an event there after every write.
//
// The picture. Each cycle c the chip makes its fetches (the g-access in its first half, the
// c-access of a bad line or a sprite's s-accesses in its second) and puts out the eight pixels
// of slot c: X(c) - 5 to X(c) + 2 in sprite coordinates, from the registers as they stood before
// the processor's write in that cycle. So a register written in cycle c shows from slot c + 1,
// and a graphics byte fetched in cycle c, with XSCROLL 0, at X(c + 1) - 4, one pixel into slot
// c + 1; the border's four horizontal comparisons (X 24 and 344 with CSEL set, 31 and 335 with
// it clear) fall into the slots of cycles 17, 57, 18 and 56, which use CSEL as written before
// those cycles. The drawing runs behind the clock and catches up, cycle by cycle, whenever
// something it depends on is about to change: at every event, before every write to a chip
// register or to the bank, and before a processor write to memory that a g-access still to be
// drawn may read (WatchLow/WatchSize, which the bus checks). The fetches that other cycles make
// (c-accesses, sprite pointers and data) happen while BA holds the processor, and the event at
// BA's rise draws them before it runs again. Between catch-ups the registers stand still, so
// each catch-up draws its cycles with the registers read once.
#pragma once

#include <cstdint>

#include "interface/snapshot_stream.h"

namespace quillon::accurate {

// What the chip reads: 64 KB of RAM, the 1 KB of colour RAM (low nibbles) and the character
// ROM, which it sees at $1000-$1FFF of banks 0 and 2; and the processor's data bus, which a
// c-access reads while the processor still holds the bus (its colour nibble then comes from
// the byte the processor reads).
struct VicMemory {
  const std::uint8_t* Ram;
  const std::uint8_t* ColorRam;
  const std::uint8_t* CharacterRom;
  std::uint8_t (*DataBus)(const void* context) = nullptr;
  const void* Context = nullptr;
};

// The byte at 14-bit address `address` of `bank`, as the chip sees it.
inline std::uint8_t VicFetch(const VicMemory& memory, std::uint8_t bank, unsigned address) {
  address &= 0x3FFF;
  if ((bank & 1) == 0 && (address & 0x3000) == 0x1000) return memory.CharacterRom[address & 0x0FFF];
  return memory.Ram[(unsigned{bank} << 14) | address];
}

// The chip's timing for one video standard.
struct VicTiming {
  int CyclesPerLine;
  int LinesPerFrame;
  int DisplayCheckCycle;         // where MC, the sprites' display and RC are updated
  std::uint8_t PointerCycle[8];  // each sprite's p-access
  std::uint16_t FirstX;          // X at the start of cycle 1
};
inline constexpr VicTiming PalTiming = {63, 312, 58, {58, 60, 62, 1, 3, 5, 7, 9}, 0x194};
inline constexpr VicTiming NtscTiming = {65, 263, 60, {60, 62, 64, 1, 3, 5, 7, 9}, 0x19C};

// What StartCycle reports: a raster line ended just before the cycle, and whether it was the
// frame's last.
enum class LineEnd : std::uint8_t { None, Line, Frame };

// The most pixels of a line: 65 cycles of eight.
inline constexpr int MaxLinePixels = 65 * 8;

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
  // What Read would return, without clearing the collision registers or drawing.
  std::uint8_t Peek(int reg, std::uint64_t clock) const;
  void Write(int reg, std::uint8_t value, std::uint64_t clock);

  // The 16 KB bank (0-3) that CIA 2's port A selects, from the cycle after `clock` on.
  void SetBank(std::uint8_t bank, std::uint64_t clock);
  // The light pen input (LP, low active) as it stands from cycle `clock` on: its first falling
  // edge in a frame latches the beam's position and raises the light pen interrupt.
  void SetLightPen(bool low, std::uint64_t clock);
  // The byte the chip reads in the first half of cycle `clock`: what the processor finds on an
  // open bus.
  std::uint8_t Phi1Byte(std::uint64_t clock) const;

  // The processor writes RAM at CPU address `address` in cycle `clock`: when a fetch still to be
  // drawn may read it (the address lies WatchLow to WatchLow + WatchSize - 1), the chip draws up
  // to that cycle first with the memory as it was.
  std::uint32_t WatchLow() const { return S.WatchLow; }
  std::uint32_t WatchSize() const { return S.WatchSize; }
  void DrawThrough(std::uint64_t clock) { DrawUpTo(LineCycle(clock)); }

  std::uint16_t ScreenAddress() const;
  std::uint16_t RasterCompare() const { return S.Compare; }
  // The raster line now running and the cycle within it (from 1).
  int Line() const { return S.Line; }
  int LineCycle(std::uint64_t clock) const { return static_cast<int>(clock - S.LineStart) + 1; }

  // Where finished lines go: the display window (PictureWidth x PictureHeight), the border
  // colour of each line (BorderTableLines) and the bordered picture (BorderedWidth x
  // BorderedHeight); any may be null.
  void SetPicture(std::uint8_t* window, std::uint8_t* borders, std::uint8_t* bordered) {
    Window = window;
    Borders = borders;
    Bordered = bordered;
  }

  void Save(SnapshotWriter& out) const;
  // False for damaged data, which leave the chip as it was.
  bool Load(SnapshotReader& in);

 private:
  // The BA-low cycles of a line, bit n for line cycle n (1-65).
  struct CycleMask {
    std::uint64_t Low = 0;   // cycles 0-63
    std::uint64_t High = 0;  // cycles 64-127
    void Set(int cycle);
    // The first cycle from `cycle` on whose bit is `set`, or 128.
    int Next(int cycle, bool set) const;
  };

  struct Sprite {
    std::uint8_t Mc;
    std::uint8_t McBase;
    bool ExpandFlop;
    bool Dma;
    bool Display;
    std::uint32_t Data;    // the shift register's row, first pixel in bit 23
    std::uint8_t Shifted;  // half pixels shifted out since the row came: 48 is empty
    bool Shifting;         // the X counter matched and the row is going out
  };

  // A g-access as the sequencer holds it until its pixels are out.
  struct GraphicsByte {
    std::uint8_t Pattern;
    std::uint8_t Code;   // the c-data's eight bits (character code or bitmap colours)
    std::uint8_t Color;  // and its colour nibble
    bool Fetched;        // false where no g-access fed the sequencer (outside the column)
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
    bool BadLine;              // the bad line condition as last evaluated
    std::uint8_t BadLineBa;    // the cycle BA fell for it: c-accesses read the bus 3 cycles on
    bool DisplayState;
    std::uint8_t DisplayFrom;  // g-accesses in display state from this cycle of the line on
    std::uint16_t Vc;
    std::uint16_t VcBase;
    std::uint8_t Rc;
    std::uint8_t Vmli;
    std::uint8_t MatrixLine[40];  // the c-accesses' character codes or bitmap colours
    std::uint8_t ColorLine[40];   // and colour nibbles
    Sprite Sprites[8];
    std::uint8_t CrunchedBase;  // sprites whose MCBASE a $D017 write in cycle 15 mixed
    CycleMask SpriteBa;         // this line's sprite DMA cycles
    CycleMask NextSpriteBa;     // the next line's, decided in this one
    std::uint64_t BaLowUntil;
    std::uint64_t NextEventClock;
    // The drawing: the cycles of the line drawn so far, the border flip-flops, the two bytes in
    // the graphics sequencer, and the line's pixels.
    std::uint8_t DrawnCycle;
    bool MainBorder;
    bool VerticalBorder;
    GraphicsByte Sequencer[2];  // fetched two cycles and one cycle before the slot
    std::uint8_t LinePixels[MaxLinePixels];
    // The light pen: its input, whether it fired in this frame, and the latched position.
    bool LightPenLow;
    bool LightPenDone;
    std::uint8_t LightPenX;
    std::uint8_t LightPenY;
    // The RAM the g-accesses still to be drawn may read (CPU addresses); derived, not saved.
    std::uint32_t WatchLow;
    std::uint32_t WatchSize;
  };

  // What the drawing takes from the registers, worked out again after a write.
  struct DrawSetting {
    unsigned Mode;  // ECM | BMM | MCM
    int Offset;     // where a byte's first pixel lies in the slot after its fetch: 1-8
    std::uint64_t Background[4];  // $D021-$D024 in all eight pixels
    std::uint64_t Outside;        // what the sequencer shows without a byte
    std::uint64_t BorderWord;
    std::uint8_t Border;
    bool Csel;
    bool Den;
    int Top;     // the vertical border's lines for RSEL
    int Bottom;
    unsigned Matrix;
    unsigned IdleAddress;
    unsigned GraphicsBase;
    unsigned AddressMask;
    int StartPixel[8];  // the line pixel where the X counter meets each sprite's X
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
  int NextFixedEvent(int cycle) const;
  void Schedule(int cycle);
  void UpdateWatch();
  std::uint8_t Fetch(unsigned address) const { return VicFetch(Memory, S.Bank, address); }
  unsigned MatrixBase() const { return (S.Registers[0x18] & 0xF0u) << 6; }
  int CycleX(int cycle) const;

  // The drawing (vic_draw.cpp): every cycle up to `cycle` of the line, and the finished line
  // into the pictures.
  void DrawUpTo(int cycle);
  void Fetches(int cycle, unsigned kind);
  void FinishLine();
  bool CollisionInterruptDue() const;
  void UpdateSetting();

  VicMemory Memory;
  std::uint8_t* Window = nullptr;
  std::uint8_t* Borders = nullptr;
  std::uint8_t* Bordered = nullptr;
  State S{};
  DrawSetting Setting{};
  bool SettingStale = true;
};

}  // namespace quillon::accurate
