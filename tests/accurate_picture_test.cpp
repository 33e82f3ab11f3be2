// The accurate VIC-II's picture as 6502 programs make it: colour splits within a line, sprites
// reused down the screen, opened borders, FLD, line crunch, DMA delay, FLI, collisions, the
// Y-expansion stretch and the light pen. Every program runs on the booted machine and the test
// reads the bordered picture, pixel by pixel, or the registers the program logged. Some of the
// programs are kept in tests/programs as program files, to be watched in the window
// (`quillon --model accurate tests/programs/fld.prg`); QUILLON_WRITE_PROGRAMS=1 writes them
// again after a change here.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "interface/picture.h"
#include "support/accurate.h"

namespace quillon {
namespace {

using test::Assembler;

constexpr std::uint16_t Origin = Assembler::ProgramOrigin;
constexpr std::uint16_t Screen = 0x0400;
constexpr std::uint16_t SpriteData = 0x0340;  // pointer 13
constexpr std::uint8_t SpritePointer = SpriteData / 64;
constexpr std::uint16_t Log = 0xC000;  // the collision log: four pages of 64 entries
constexpr std::uint8_t LogIndex = 0x04;
constexpr std::uint8_t LineCount = 0x03;

constexpr std::uint8_t Blue = 6;
constexpr std::uint8_t LightBlue = 14;

std::uint8_t Low(std::uint16_t word) { return static_cast<std::uint8_t>(word); }
std::uint8_t High(std::uint16_t word) { return static_cast<std::uint8_t>(word >> 8); }

// The X counter at the start of a 6569 line cycle.
int CycleX(int cycle) { return cycle < 14 ? 0x194 + 8 * (cycle - 1) : 8 * cycle - 108; }

// Interrupts masked and both CIAs' interrupts off: the program's cycles are its own.
Assembler Start() {
  Assembler code(Origin);
  code.Bytes({0x78})  // SEI
      .Poke({0xDC0D, 0xDD0D}, 0x7F)
      .Lda(0xDC0D)
      .Lda(0xDD0D)
      .Poke({0xD019}, 0xFF);
  return code;
}

// 63 bytes of sprite data at SpriteData, the given row bytes repeated, and every sprite's
// pointer at it.
void SpriteRows(Assembler& code, std::uint8_t first, std::uint8_t second, std::uint8_t third) {
  for (int row = 0; row < 21; ++row) {
    const auto at = static_cast<std::uint16_t>(SpriteData + 3 * row);
    code.Poke({at}, first).Poke({static_cast<std::uint16_t>(at + 1)}, second);
    code.Poke({static_cast<std::uint16_t>(at + 2)}, third);
  }
  for (std::uint16_t n = 0; n < 8; ++n) code.Poke({static_cast<std::uint16_t>(0x07F8 + n)}, SpritePointer);
}

// Sprite n at X, Y in colour `color`.
void PlaceSprite(Assembler& code, int n, int x, std::uint8_t y, std::uint8_t color) {
  code.Poke({static_cast<std::uint16_t>(0xD000 + 2 * n)}, Low(static_cast<std::uint16_t>(x)));
  code.Poke({static_cast<std::uint16_t>(0xD001 + 2 * n)}, y);
  code.Poke({static_cast<std::uint16_t>(0xD027 + n)}, color);
  if (x > 255) code.Lda(0xD010).Bytes({0x09, static_cast<std::uint8_t>(1u << n)}).Sta(0xD010);
}

std::unique_ptr<Machine> RunProgram(const Assembler& code, int frames) {
  auto machine = test::BootAccurate();
  code.LoadInto(*machine);
  CpuRegisterFile registers = machine->Registers();
  registers.PC = Origin;
  machine->SetRegisters(registers);
  machine->RunFrames(frames);
  return machine;
}

// The bordered picture's pixel at sprite coordinate X on raster line `line`.
std::uint8_t Pixel(const Machine& machine, int x, int line) {
  const int row = line - 1 - FirstBorderedLine;
  const int column = x - (24 - BorderSize);
  EXPECT_TRUE(row >= 0 && row < BorderedHeight && column >= 0 && column < BorderedWidth)
      << "X " << x << " line " << line;
  return machine.BorderedPicture()[row * BorderedWidth + column];
}

// The display window's 320 pixels of raster line `line`.
std::vector<std::uint8_t> WindowLine(const Machine& machine, int line) {
  std::vector<std::uint8_t> pixels;
  for (int x = 24; x < 24 + PictureWidth; ++x) pixels.push_back(Pixel(machine, x, line));
  return pixels;
}

// What standard text mode shows: pixel row `row` of the 40 characters from matrix position
// `first` on, from the screen at $0400, the colour RAM and the character ROM.
std::vector<std::uint8_t> TextLine(const Machine& machine, int first, int row) {
  std::vector<std::uint8_t> pixels;
  for (int i = 0; i < 40; ++i) {
    const int position = (first + i) & 0x3FF;
    const std::uint8_t code = machine.Ram()[Screen + position];
    const std::uint8_t color = machine.Peek(static_cast<std::uint16_t>(0xD800 + position)) & 0x0F;
    const std::uint8_t glyph = machine.CharacterRom()[code * 8 + row];
    for (int bit = 7; bit >= 0; --bit) pixels.push_back((glyph >> bit) & 1 ? color : Blue);
  }
  return pixels;
}

// The program files kept in tests/programs.
void KeepProgram(const Assembler& code, const std::string& name) {
  const std::string path = std::string(QUILLON_TEST_PROGRAMS_DIR) + "/" + name;
  const std::vector<std::uint8_t> bytes = code.ProgramFile();
  if (std::getenv("QUILLON_WRITE_PROGRAMS") != nullptr) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  std::ifstream file(path, std::ios::binary);
  const std::vector<std::uint8_t> kept{std::istreambuf_iterator<char>(file), {}};
  EXPECT_EQ(kept, bytes) << name << " is not the program this test runs";
}

// --- Synchronising with the raster ------------------------------------------------------------

// The cycle-exact programs start from SyncToLine: it must end at cycle 12 of its line in every
// frame, whatever the poll's jitter.
TEST(AccuratePicture, TheRasterSyncEndsAtCycle12OfItsLine) {
  Assembler code = Start();
  const std::uint16_t frame = code.Here();
  code.SyncToLine(40);
  const std::uint16_t synced = code.Here();
  code.Delay(200).Jmp(frame);
  auto machine = RunProgram(code, 2);
  for (int frames = 0; frames < 5; ++frames) {
    ASSERT_TRUE(test::RunUntil(*machine, frame, {synced}, 100000));
    const std::uint64_t inFrame = machine->Clock() % (63 * 312);
    EXPECT_EQ(inFrame / 63, 40u);
    EXPECT_EQ(inFrame % 63 + 1, 12u);
    machine->StepInstruction();
  }
}

// --- Colour splits --------------------------------------------------------------------------

// Blue to red and back within line 40 (all border) and line 52 (the display window, after the
// bad line of 51): a write in cycle 27 shows from slot 28, X(28) - 5 = 111, and one in 45 from
// X(46) - 5 = 255.
struct Split {
  Assembler Code;
  std::uint16_t Writes[4];  // the four stores, in order
};

Split ColourSplit() {
  Split split{Start(), {}};
  Assembler& code = split.Code;
  const std::uint16_t frame = code.Here();
  code.SyncToLine(40);                                 // line 40, cycle 12
  code.LdaImmediate(2).Bytes({0xA2, LightBlue});       // LDX #14
  code.Delay(8);
  split.Writes[0] = code.Here();
  code.Sta(0xD020).Delay(14);                          // written in cycle 27
  split.Writes[1] = code.Here();
  code.Stx(0xD020);                                    // cycle 45
  code.Bytes({0xA2, Blue}).Delay(650);                 // line 51, cycle 5
  code.Nops(4);                                        // the bad line holds the last to cycle 55
  code.Delay(31);
  split.Writes[2] = code.Here();
  code.Sta(0xD021).Delay(14);                          // line 52, cycle 27
  split.Writes[3] = code.Here();
  code.Stx(0xD021).Jmp(frame);                         // cycle 45
  return split;
}

TEST(AccuratePicture, AColourWrittenWithinALineShowsFromTheNextCyclesSlot) {
  Split split = ColourSplit();
  KeepProgram(split.Code, "split.prg");
  auto machine = RunProgram(split.Code, 3);
  // The stores write in their fourth cycle.
  const int lines[] = {40, 40, 52, 52};
  const int cycles[] = {27, 45, 27, 45};
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(test::RunUntil(*machine, machine->Registers().PC, {split.Writes[i]}, 100000));
    const std::uint64_t write = (machine->Clock() + 3) % (63 * 312);
    EXPECT_EQ(write / 63, static_cast<unsigned>(lines[i])) << i;
    EXPECT_EQ(write % 63 + 1, static_cast<unsigned>(cycles[i])) << i;
  }
  machine->RunFrames(1);
  const struct {
    int Line;
    std::uint8_t Around;
  } cases[] = {{40, LightBlue}, {52, Blue}};
  for (const auto& c : cases) {
    const int first = CycleX(28) - 5;
    const int last = CycleX(46) - 5 - 1;
    EXPECT_EQ(Pixel(*machine, first - 1, c.Line), c.Around) << c.Line;
    EXPECT_EQ(Pixel(*machine, first, c.Line), 2) << c.Line;
    EXPECT_EQ(Pixel(*machine, last, c.Line), 2) << c.Line;
    EXPECT_EQ(Pixel(*machine, last + 1, c.Line), c.Around) << c.Line;
  }
  // The border around line 52 kept its colour.
  EXPECT_EQ(Pixel(*machine, 20, 52), LightBlue);
}


// --- Sprites ----------------------------------------------------------------------------------

// A raster interrupt at line 100 moves the eight sprites from Y 60 down to Y 150 and gives them
// other colours; one at line 250 moves them back: sixteen sprites on the screen.
constexpr std::uint8_t TopColors[8] = {1, 2, 3, 4, 5, 7, 8, 9};
constexpr std::uint8_t BottomColors[8] = {10, 11, 12, 13, 15, 0, 1, 2};

Assembler Multiplexer(std::uint16_t handler) {
  Assembler code = Start();
  SpriteRows(code, 0xFF, 0xFF, 0xFF);
  for (int n = 0; n < 8; ++n) PlaceSprite(code, n, 24 + 36 * n, 60, TopColors[n]);
  code.Poke({0xD015}, 0xFF).Poke({0x0314}, Low(handler)).Poke({0x0315}, High(handler));
  code.Poke({0xD011}, 0x1B).Poke({0xD012}, 100).Poke({0xD01A}, 0x01).Poke({0xD019}, 0xFF);
  code.Bytes({0x58});  // CLI
  const std::uint16_t idle = code.Here();
  code.Jmp(idle);
  // The handler, entered through the KERNAL's IRQ entry.
  const std::uint16_t entry = code.Here();
  code.Lda(0xD012).Bytes({0xC9, 200, 0x90, 0x03});  // CMP #200 / BCC over the JMP
  const std::uint16_t jumpToTop = code.Here();
  code.Jmp(0);  // patched below by the second pass
  for (int n = 0; n < 8; ++n) {
    code.Poke({static_cast<std::uint16_t>(0xD001 + 2 * n)}, 150);
    code.Poke({static_cast<std::uint16_t>(0xD027 + n)}, BottomColors[n]);
  }
  code.Poke({0xD012}, 250);
  const std::uint16_t jumpToDone = code.Here();
  code.Jmp(0);
  const std::uint16_t top = code.Here();
  for (int n = 0; n < 8; ++n) {
    code.Poke({static_cast<std::uint16_t>(0xD001 + 2 * n)}, 60);
    code.Poke({static_cast<std::uint16_t>(0xD027 + n)}, TopColors[n]);
  }
  code.Poke({0xD012}, 100);
  const std::uint16_t done = code.Here();
  code.Poke({0xD019}, 0xFF).Jmp(0xEA81);
  code.PatchWord(static_cast<std::uint16_t>(jumpToTop + 1), top);
  code.PatchWord(static_cast<std::uint16_t>(jumpToDone + 1), done);
  if (handler != entry) return Multiplexer(entry);
  return code;
}

TEST(AccuratePicture, ARasterInterruptShowsSixteenSpritesWithEight) {
  const Assembler code = Multiplexer(0);
  KeepProgram(code, "sprites16.prg");
  auto machine = RunProgram(code, 5);
  for (int n = 0; n < 8; ++n) {
    const int x = 24 + 36 * n;
    EXPECT_EQ(Pixel(*machine, x, 61), TopColors[n]) << n;
    EXPECT_EQ(Pixel(*machine, x + 23, 81), TopColors[n]) << n;
    EXPECT_EQ(Pixel(*machine, x + 24, 70), Blue) << n;
    EXPECT_EQ(Pixel(*machine, x, 82), Blue) << n;
    EXPECT_EQ(Pixel(*machine, x, 151), BottomColors[n]) << n;
    EXPECT_EQ(Pixel(*machine, x + 23, 171), BottomColors[n]) << n;
    EXPECT_EQ(Pixel(*machine, x, 150), Blue) << n;
  }
}

// Sprite 0, Y-expanded at Y 100, shows row k on lines 101 + 2k and 102 + 2k. Clearing and
// setting $D017 between cycles 16 and 55 of a line in which its flip-flop was reset turns the
// flip-flop back for the next line, which shows the same row again: stretched over lines
// 103-106 (107 is a bad line, on which the processor cannot write between those cycles), row 1
// lasts to line 108 and every later row comes four lines late.
Assembler Stretch() {
  Assembler code = Start();
  for (int row = 0; row < 21; ++row) {
    const auto at = static_cast<std::uint16_t>(SpriteData + 3 * row);
    code.Poke({at}, static_cast<std::uint8_t>(row)).Poke({static_cast<std::uint16_t>(at + 1)}, 0xFF);
    code.Poke({static_cast<std::uint16_t>(at + 2)}, 0);
  }
  code.Poke({0x07F8}, SpritePointer);
  PlaceSprite(code, 0, 100, 100, 1);
  code.Poke({0xD017, 0xD015}, 1);
  const std::uint16_t frame = code.Here();
  code.WaitRaster(103).Poke({LineCount}, 4);
  const std::uint16_t line = code.Here();
  code.Delay(12).Poke({0xD017}, 0).Poke({0xD017}, 1);
  code.Lda(0xD012);
  const std::uint16_t same = code.Here();
  code.Bytes({0xCD, 0x12, 0xD0}).Branch(0xF0, same);  // CMP $D012 / BEQ
  code.Bytes({0xC6, LineCount}).Branch(0xD0, line);   // DEC / BNE
  code.Jmp(frame);
  return code;
}

// The row sprite 0 shows on a line: its first byte, read from the pixels.
int SpriteRow(const Machine& machine, int line) {
  if (Pixel(machine, 108, line) != 1) return -1;  // the row's second byte is all set
  int row = 0;
  for (int bit = 0; bit < 8; ++bit) row = row * 2 + (Pixel(machine, 100 + bit, line) == 1);
  return row;
}

TEST(AccuratePicture, TurningTheYExpansionOffAndOnStretchesASpriteRow) {
  auto machine = RunProgram(Stretch(), 4);
  const struct {
    int Line;
    int Row;
  } cases[] = {{100, -1}, {101, 0}, {102, 0},  {103, 1},   {106, 1},   {108, 1},  {109, 2},
               {110, 2},  {111, 3}, {112, 3},  {145, 20},  {146, 20},  {147, -1}};
  for (const auto& c : cases) EXPECT_EQ(SpriteRow(*machine, c.Line), c.Row) << c.Line;
}

// --- Collisions -------------------------------------------------------------------------------

// With the KERNAL banked out, an interrupt handler of the program's own logs $D019, RASTER,
// $D01E and $D01F (reading clears them) at every collision interrupt from a frame's start on: sprites 0 and
// 1 overlap on lines 61-81, sprite 2 covers a solid character on lines 131-138 (sprite 3 only
// blank ones), sprites 4 and 5 overlap in the closed left border on lines 201-221.
Assembler Collisions(std::uint16_t handler) {
  Assembler code = Start();
  code.LdaImmediate(0x20).Bytes({0xA2, 0x00});
  const std::uint16_t clear = code.Here();
  for (std::uint16_t page : {0x0400, 0x0500, 0x0600, 0x06E8}) code.Bytes({0x9D, Low(page), High(page)});
  code.Bytes({0xE8}).Branch(0xD0, clear, false);
  code.Poke({Screen + 10 * 40 + 5}, 0xA0).Poke({0xD800 + 10 * 40 + 5}, 1);
  SpriteRows(code, 0xFF, 0xFF, 0xFF);
  PlaceSprite(code, 0, 24, 60, 1);
  PlaceSprite(code, 1, 30, 60, 2);
  PlaceSprite(code, 2, 56, 125, 3);
  PlaceSprite(code, 3, 200, 200, 4);
  PlaceSprite(code, 4, 0, 200, 5);
  PlaceSprite(code, 5, 8, 200, 7);
  code.Poke({0xD015}, 0x3F).Poke({LogIndex}, 0).Poke({0x0001}, 0x35);
  code.Poke({0xFFFE}, Low(handler)).Poke({0xFFFF}, High(handler));
  // Collisions made before count once the registers are read.
  code.WaitNewFrame().Lda(0xD01E).Lda(0xD01F).Poke({0xD019}, 0xFF).Poke({0xD01A}, 0x06);
  code.Bytes({0x58});
  const std::uint16_t idle = code.Here();
  code.Jmp(idle);
  // The handler acknowledges what it finds latched at once, so that the next line's collision
  // is not lost, and takes less than a line; the main loop keeps nothing in A or X.
  const std::uint16_t entry = code.Here();
  code.Bytes({0xA6, LogIndex}).Lda(0xD019).Sta(0xD019);  // LDX
  const std::uint16_t logged[] = {0xD019, 0xD012, 0xD01E, 0xD01F};
  const int page[] = {1, 0, 2, 3};
  for (int i = 0; i < 4; ++i) {
    if (i > 0) code.Lda(logged[i]);
    const auto to = static_cast<std::uint16_t>(Log + 0x100 * page[i]);
    code.Bytes({0x9D, Low(to), High(to)});  // STA log,X
  }
  code.Bytes({0xE6, LogIndex, 0x40});  // INC / RTI
  if (handler != entry) return Collisions(entry);
  return code;
}

TEST(AccuratePicture, CollisionsSetTheirRegistersAndRaiseTheirInterruptLineByLine) {
  auto machine = RunProgram(Collisions(0), 3);
  const std::uint8_t* log = machine->Ram() + Log;
  const struct {
    int First;
    int Last;
    std::uint8_t Latch;
    std::uint8_t SpriteSprite;
    std::uint8_t SpriteBackground;
  } runs[] = {{61, 81, 0x04, 0x03, 0}, {131, 138, 0x02, 0, 0x04}, {201, 221, 0x04, 0x30, 0}};
  // The interrupts come run after run, each while its sprites meet (the handler reads RASTER
  // a little after the collision, later where a bad line holds it up, and a collision that
  // comes before the registers are read again raises no new one); the first in its line.
  EXPECT_EQ(log[0], 61);
  int entry = 0;
  for (const auto& run : runs) {
    const int first = entry;
    while (entry < 64 && log[entry] >= run.First && log[entry] <= run.Last + 2) {
      EXPECT_EQ(log[0x100 + entry] & 0x86, 0x80 | run.Latch) << run.First;
      EXPECT_EQ(log[0x200 + entry], run.SpriteSprite) << run.First;
      EXPECT_EQ(log[0x300 + entry], run.SpriteBackground) << run.First;
      ++entry;
    }
    EXPECT_GT(entry - first, (run.Last - run.First) / 2) << "interrupts for the run from " << run.First;
  }
  // The next frame begins again with sprites 0 and 1.
  EXPECT_EQ(log[entry], 61);
}

// --- The border unit --------------------------------------------------------------------------

// RSEL cleared on line 249 and set again on 255 keeps the vertical flip-flop clear: the top
// and bottom borders show the idle byte ($3FFF = $F0: four black pixels, four of the
// background) and sprite 0 at Y 250. On lines 30-48 CSEL is cleared in cycle 56 and set again
// in 60, so the main flip-flop never closes either: the side borders show the background and
// sprite 7 at X 350; sprite 6 stands in the opened top border. Their DMA holds the processor
// for cycles 4-10 of lines 31-49, which the loop of 63 cycles counts in.
Assembler Borders() {
  Assembler code = Start();
  code.Poke({0x3FFF}, 0xF0);
  SpriteRows(code, 0xFF, 0xFF, 0xFF);
  PlaceSprite(code, 0, 100, 250, 7);
  PlaceSprite(code, 6, 200, 30, 2);
  PlaceSprite(code, 7, 350, 30, 5);
  code.Poke({0xD015}, 0xC1);
  const std::uint16_t frame = code.Here();
  code.Poke({LineCount}, 19).SyncToLine(30);                // line 30, cycle 12
  code.LdaImmediate(0xC8).Bytes({0xA2, 0xC0}).Delay(37);    // LDX #$C0
  const std::uint16_t line = code.Here();
  code.Stx(0xD016).Sta(0xD016).Delay(40);                   // written in cycles 56 and 60
  code.Bytes({0xC6, LineCount}).Branch(0xD0, line);         // DEC / BNE
  code.WaitRaster(249).Poke({0xD011}, 0x13).WaitRaster(255).Poke({0xD011}, 0x1B).Jmp(frame);
  return code;
}

TEST(AccuratePicture, OpenedBordersShowTheIdleByteAndTheSpritesBehindThem) {
  const Assembler code = Borders();
  KeepProgram(code, "borders.prg");
  auto machine = RunProgram(code, 4);
  const struct {
    int X;
    int Line;
    std::uint8_t Color;
    const char* What;
  } cases[] = {
      {110, 260, 7, "sprite 0 in the bottom border"},
      {26, 260, 0, "the idle byte's set bits below the window"},
      {29, 260, Blue, "the idle byte's clear bits below the window"},
      {10, 260, LightBlue, "the closed side border below the window"},
      {26, 35, 0, "the idle byte above the window"},
      {210, 40, 2, "sprite 6 in the top border"},
      {355, 40, 5, "sprite 7 in the opened right border"},
      {346, 40, Blue, "the background in the opened right border"},
      {10, 40, Blue, "the background in the opened left border"},
      {355, 50, LightBlue, "sprite 7 behind the closed right border"},
      {10, 50, LightBlue, "the closed left border"},
      {110, 200, Blue, "the display window"},
  };
  for (const auto& c : cases) EXPECT_EQ(Pixel(*machine, c.X, c.Line), c.Color) << c.What;
}

// --- Bad lines moved, removed and delayed -----------------------------------------------------

// FLD: from line 48 to 69 YSCROLL is kept two lines ahead of RASTER, so that no bad line comes;
// on line 70 it is set to 0: the first text row starts on line 72 instead of 51.
Assembler Fld() {
  Assembler code = Start();
  code.Poke({0x3FFF}, 0);
  const std::uint16_t frame = code.Here();
  code.WaitRaster(48);
  const std::uint16_t line = code.Here();
  code.Lda(0xD012).Bytes({0x18, 0x69, 0x02, 0x29, 0x07, 0x09, 0x18}).Sta(0xD011);
  code.Lda(0xD012);
  const std::uint16_t same = code.Here();
  code.Bytes({0xCD, 0x12, 0xD0}).Branch(0xF0, same);            // CMP $D012 / BEQ
  code.Lda(0xD012).Bytes({0xC9, 70}).Branch(0xD0, line);         // CMP #70 / BNE
  code.Poke({0xD011}, 0x18).WaitRaster(250).Poke({0xD011}, 0x1B).Jmp(frame);
  return code;
}

// Line crunch: lines 51, 52 and 53 begin as bad lines, and a write in their cycle 8 takes the
// condition away before cycle 14: each shows one pixel row and moves VCBASE on by a text row.
// Line 54 is a bad line again, with screen row 3.
Assembler Crunch() {
  Assembler code = Start();
  const std::uint16_t frame = code.Here();
  code.SyncToLine(50);                                          // line 50, cycle 12
  code.LdaImmediate(0x1C).Delay(54).Sta(0xD011);                // line 51, cycle 8
  code.LdaImmediate(0x1D).Delay(57).Sta(0xD011);                // line 52, cycle 8
  code.LdaImmediate(0x1E).Delay(57).Sta(0xD011);                // line 53, cycle 8
  code.WaitRaster(250).Poke({0xD011}, 0x1B).Jmp(frame);
  return code;
}

// DMA delay: on line 50, in idle state, YSCROLL 2 is written in cycle 19: the bad line starts
// in cycle 20, the c-accesses fill the matrix line from its start, and the first display-state
// g-access comes in cycle 21, five columns late. RC was 7, so VCBASE takes VC, 35, in cycle 58;
// the next text row, from line 58, begins with matrix position 35, and so every later row
// shows the screen five columns to the right.
Assembler DmaDelay() {
  Assembler code = Start();
  const std::uint16_t frame = code.Here();
  code.SyncToLine(50).LdaImmediate(0x1A).Delay(2).Sta(0xD011);  // line 50, cycle 19
  code.WaitRaster(250).Poke({0xD011}, 0x1B).Jmp(frame);
  return code;
}

TEST(AccuratePicture, FldLineCrunchAndDmaDelayMoveTheTextRows) {
  const Assembler fld = Fld();
  KeepProgram(fld, "fld.prg");
  const struct {
    const char* Name;
    Assembler Code;
    int Line;       // the first of eight lines to look at
    int Position;   // the matrix position they show from
  } cases[] = {
      {"FLD", fld, 72, 0},           {"FLD", fld, 80, 40},
      {"line crunch", Crunch(), 54, 120}, {"line crunch", Crunch(), 62, 160},
      {"DMA delay", DmaDelay(), 58, 35},  {"DMA delay", DmaDelay(), 74, 115},
  };
  for (const auto& c : cases) {
    auto machine = RunProgram(c.Code, 4);
    for (int row = 0; row < 8; ++row) {
      EXPECT_EQ(WindowLine(*machine, c.Line + row), TextLine(*machine, c.Position, row))
          << c.Name << ", line " << c.Line + row;
    }
  }
  // Above the text that FLD moved down, the idle byte: the background.
  auto machine = RunProgram(fld, 4);
  EXPECT_EQ(WindowLine(*machine, 60), std::vector<std::uint8_t>(PictureWidth, Blue));
}

// FLI: from line 51 to 247, every line is made a bad line by a $D011 write in its cycle 14, and
// $D018 points each at its own matrix (bank 1: matrix k at $4000 + $400k, the bitmap at
// $6000): a multicolour bitmap of $55 bytes shows matrix k's upper nibble, k + 1, on every line
// whose RASTER ends in k. The first three c-accesses of each line find the processor on the bus:
// columns 0-2 read $FF (light grey for 01) and, for 11, the colour nibble of the opcode the
// processor waits to fetch (LDA #, $A9: brown).
Assembler Fli() {
  Assembler code = Start();
  code.Lda(0xDD00).Bytes({0x29, 0xFC, 0x09, 0x02}).Sta(0xDD00);  // bank 1
  for (int k = 0; k < 8; ++k) {
    const auto base = static_cast<std::uint16_t>(0x4000 + 0x400 * k);
    code.LdaImmediate(static_cast<std::uint8_t>((k + 1) << 4)).Bytes({0xA2, 0x00});
    const std::uint16_t fill = code.Here();
    for (int page = 0; page < 4; ++page) {
      const auto to = static_cast<std::uint16_t>(base + 0x100 * page);
      code.Bytes({0x9D, Low(to), High(to)});
    }
    code.Bytes({0xE8}).Branch(0xD0, fill, false);
  }
  code.LdaImmediate(0x55).Bytes({0xA2, 0x00});
  const std::uint16_t bitmap = code.Here();
  for (int page = 0; page < 32; ++page) code.Bytes({0x9D, 0x00, static_cast<std::uint8_t>(0x60 + page)});
  code.Bytes({0xE8}).Branch(0xD0, bitmap, false);
  for (int row = 0; row < 25; ++row) {
    const auto cell = static_cast<std::uint16_t>(0x6000 + 320 * row);
    code.Poke({cell, static_cast<std::uint16_t>(cell + 1), static_cast<std::uint16_t>(cell + 2),
               static_cast<std::uint16_t>(cell + 3), static_cast<std::uint16_t>(cell + 4),
               static_cast<std::uint16_t>(cell + 5), static_cast<std::uint16_t>(cell + 6),
               static_cast<std::uint16_t>(cell + 7)},
              0xFF);
  }
  code.Poke({0xD021}, 0).Poke({0xD016}, 0xD8).Poke({0xD018}, 0x08).Poke({0xD011}, 0x3F);
  const std::uint16_t frame = code.Here();
  code.SyncToLine(50).Delay(43);  // line 50, cycle 55
  for (int line = 51; line <= 247; ++line) {
    code.LdaImmediate(static_cast<std::uint8_t>(((line & 7) << 4) | 0x08)).Sta(0xD018);
    code.LdaImmediate(static_cast<std::uint8_t>(0x38 | (line & 7))).Delay(11).Sta(0xD011);
  }
  code.Poke({0xD011}, 0x3F).Jmp(frame);
  return code;
}

TEST(AccuratePicture, FliShowsEightColoursPerCellRowBehindThreeBusColumns) {
  const Assembler code = Fli();
  KeepProgram(code, "fli.prg");
  auto machine = RunProgram(code, 10);
  for (int line = 52; line < 247; line += 13) {
    EXPECT_EQ(Pixel(*machine, 24 + 8 * 10, line), (line & 7) + 1) << line;
    EXPECT_EQ(Pixel(*machine, 24 + 8 * 39 + 7, line), (line & 7) + 1) << line;
    EXPECT_EQ(Pixel(*machine, 24 + 8 * 1, line), 15) << line;
    EXPECT_EQ(Pixel(*machine, 24 + 8 * 2 + 7, line), 15) << line;
    EXPECT_EQ(Pixel(*machine, 24, line), 9) << line;
  }
}

// --- The light pen ----------------------------------------------------------------------------

// PB4 of CIA 1, made an output, pulled low in cycle 20 of line 40: the latch takes X(21) / 2 =
// 30 and line 40. Pulled low again on line 45, in the same frame, it changes nothing.
TEST(AccuratePicture, TheLightPenLatchesTheBeamOncePerFrame) {
  Assembler code = Start();
  code.Poke({0xDC03}, 0x10).Poke({0xDC01}, 0xFF);
  const std::uint16_t frame = code.Here();
  code.SyncToLine(40).LdaImmediate(0xEF).Delay(3).Sta(0xDC01);   // cycle 20
  code.Poke({0xDC01}, 0xFF).WaitRaster(45).Poke({0xDC01}, 0xEF).Poke({0xDC01}, 0xFF).Jmp(frame);
  auto machine = RunProgram(code, 3);
  EXPECT_EQ(machine->Peek(0xD013), CycleX(21) / 2);
  EXPECT_EQ(machine->Peek(0xD014), 40);
  EXPECT_EQ(machine->Peek(0xD019) & 0x08, 0x08);
}

// The fire button of a joystick in control port 1 is the same line.
TEST(AccuratePicture, TheJoystickInPort1FiresTheLightPen) {
  auto machine = test::BootAccurate();
  while (machine->Clock() % (63 * 312) < 100 * 63 + 30) machine->StepInstruction();
  const std::uint64_t clock = machine->Clock() % (63 * 312);
  machine->SetJoystick(1, 0x0F);
  EXPECT_EQ(machine->Peek(0xD014), clock / 63);
  EXPECT_EQ(machine->Peek(0xD013), CycleX(static_cast<int>(clock % 63) + 2) / 2);
  machine->SetJoystick(1, 0x1F);
}

}  // namespace
}  // namespace quillon
