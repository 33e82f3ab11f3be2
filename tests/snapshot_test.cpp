// Snapshots: a machine saved and loaded goes on exactly as the one that never stopped, for a
// BASIC program typed through the key queue, a raster-interrupt program and a cartridge; a
// damaged, cut-short or newer snapshot is refused and the machine stays as it was; the window's
// menu items save and load through the file dialogs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/machine.h"
#include "core/memory.h"
#include "cpu/cpu.h"
#include "backends/headless/headless_backend.h"
#include "keyboard/key_queue.h"
#include "platform/messages.h"
#include "snapshot/snapshot.h"
#include "window/window_proc.h"
#include "media/cartridge.h"
#include "media/file_replace.h"
#include "resources/menu.h"
#include "support/differential.h"
#include "support/files.h"
#include "support/machine.h"
#include "vic/frame_image.h"

namespace quillon {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Frames through the fast path, with the key queue told of each, as the headless run does.
void RunFast(int frames) {
  for (int i = 0; i < frames; ++i) {
    RunUntilFrame(CycleCounters.FrameCounter + 1);
    KeyQueueFramesPassed(1);
  }
}

struct Ending {
  test::MachineFingerprint Print;
  Bytes Picture;
  bool operator==(const Ending&) const = default;
};

Ending End() {
  return {test::TakeFingerprint(),
          Bytes(FrameImage.Picture, FrameImage.Picture + PictureWidth * PictureHeight)};
}

// Prepares the machine with `setup`, runs `before` frames and takes a snapshot, runs `after`
// frames more; then a machine powered on afresh loads the snapshot and runs `after` frames.
// Both must end the same. Returns the snapshot.
Bytes ExpectResumesExactly(const std::function<void()>& setup, int before, int after) {
  setup();
  RunFast(before);
  const Bytes snapshot = SnapshotSave();
  RunFast(after);
  const Ending uninterrupted = End();
  test::PowerOnMachine();
  EXPECT_EQ(SnapshotLoad(snapshot.data(), snapshot.size()), "");
  RunFast(after);
  EXPECT_TRUE(End() == uninterrupted);
  return snapshot;
}

void TypedBasicProgram() {
  test::PowerOnMachine();
  std::vector<TypedKey> keys;
  ASSERT_EQ(TranslateTypedText("10 POKE 53280,I AND 15:I=I+1:PRINT I;:GOTO 10\nRUN\n", keys), "");
  KeyQueueType(keys, true);
}

// A raster interrupt every 16 lines that changes the border and moves its own line: the
// saved machine stands somewhere in the middle of it.
void RasterBars() {
  test::PowerOnMachine();
  test::RunFrames(2);
  const std::uint8_t handler[] = {
      0xEE, 0x20, 0xD0,                    // INC $D020
      0xAD, 0x12, 0xD0, 0x18, 0x69, 0x10,  // LDA $D012; CLC; ADC #16
      0x8D, 0x12, 0xD0,                    // STA $D012
      0xAD, 0x19, 0xD0, 0x8D, 0x19, 0xD0,  // LDA $D019; STA $D019 (acknowledge)
      0x4C, 0x31, 0xEA};                   // JMP $EA31
  std::memcpy(MainRam + 0xC100, handler, sizeof handler);
  const std::uint8_t setup[] = {
      0x78, 0xA9, 0x00, 0x8D, 0x14, 0x03, 0xA9, 0xC1, 0x8D, 0x15, 0x03,  // SEI; IRQ -> $C100
      0xA9, 0x40, 0x8D, 0x12, 0xD0, 0xA9, 0x01, 0x8D, 0x1A, 0xD0,        // line $40, enabled
      0x58, 0x4C, 0x16, 0xC0};                                            // CLI; JMP *
  std::memcpy(MainRam + 0xC000, setup, sizeof setup);
  Cpu.PC = 0xC000;
}

// An autostart cartridge that counts on the screen and in the border.
Bytes CountingCartridge() {
  Bytes rom(0x2000, 0xEA);
  const Bytes start = {0x09, 0x80, 0x09, 0x80, 0xC3, 0xC2, 0xCD, 0x38, 0x30,
                       0xEE, 0x20, 0xD0, 0xEE, 0x00, 0x04, 0x4C, 0x09, 0x80};
  std::copy(start.begin(), start.end(), rom.begin());
  return test::CrtImage(0, {{0x8000, rom}});
}

TEST(Snapshot, ResumesExactlyForBasicARasterInterruptAndACartridge) {
  // Saved while the typed text is still on its way, and again after it.
  ExpectResumesExactly(TypedBasicProgram, 140, 200);
  ExpectResumesExactly(TypedBasicProgram, 260, 60);
  ExpectResumesExactly(RasterBars, 37, 80);
  // NTSC and a machine saved where the frame ended in the middle of an instruction.
  ExpectResumesExactly([] { RasterBars(); VideoStandard = VideoStandardNtsc; }, 11, 30);

  const std::string path = test::WriteTempFile("count.crt", CountingCartridge());
  const Bytes snapshot = ExpectResumesExactly(
      [&] {
        test::PowerOnMachine();
        AttachCartridge(path);
        Cpu.ResetRequest = 1;
      },
      90, 40);
  // The snapshot carries the cartridge's image: a reset after loading it starts the cartridge
  // again, even with its file gone.
  std::filesystem::remove(path);
  test::PowerOnMachine();
  ASSERT_EQ(SnapshotLoad(snapshot.data(), snapshot.size()), "");
  EXPECT_EQ(CartridgeAttached, 1);
  EXPECT_EQ(CartridgePath, path);
  Cpu.ResetRequest = 1;
  RunFast(20);
  EXPECT_EQ(std::memcmp(MainRam + 0x8004, "\xC3\xC2\xCD" "80", 5), 0);
  EXPECT_EQ(Cpu.PC >= 0x8009 && Cpu.PC < 0x8012, true) << "the cartridge's loop runs";
  // Attaching another cartridge reads files again.
  AttachCartridge("/nonexistent/quillon.crt");
  EXPECT_EQ(CartridgeImageKept, 0);
}

// Where a block's data start in a snapshot: after its tag and size.
std::size_t BlockData(const Bytes& snapshot, const char* tag) {
  const auto at = std::search(snapshot.begin(), snapshot.end(), tag, tag + 4);
  return static_cast<std::size_t>(at - snapshot.begin()) + 8;
}

// Puts the body's checksum right again after a change, so that the value checks behind it
// are what refuses the snapshot.
void Reseal(Bytes& snapshot) {
  const std::uint32_t crc =
      SnapshotChecksum(snapshot.data() + SnapshotHeaderSize, snapshot.size() - SnapshotHeaderSize);
  for (int i = 0; i < 4; ++i) snapshot[20 + i] = static_cast<std::uint8_t>(crc >> (8 * i));
}

TEST(Snapshot, DamagedCutShortOrNewerSnapshotsAreRefusedAndChangeNothing) {
  RasterBars();
  RunFast(20);
  const Bytes good = SnapshotSave();
  RunFast(3);
  const test::MachineFingerprint before = test::TakeFingerprint();

  auto changed = [&](const std::function<void(Bytes&)>& change) {
    Bytes bytes = good;
    change(bytes);
    return bytes;
  };
  const std::pair<Bytes, std::string> cases[] = {
      {{}, "is not a Quillon snapshot"},
      {changed([](Bytes& b) { b[0] = 'X'; }), "is not a Quillon snapshot"},
      {Bytes(good.begin(), good.begin() + 12), "is cut short"},
      {Bytes(good.begin(), good.begin() + 24), "is cut short"},
      {Bytes(good.begin(), good.end() - 1), "is cut short"},
      {changed([](Bytes& b) { b[8] = 2; }), "is a snapshot of format 2 from a newer Quillon"},
      {changed([](Bytes& b) {
         b.resize(40);
         for (std::size_t i = 8; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(i - 8);
       }),
       "is damaged: its header"},
      {changed([](Bytes& b) { b[8] = 0; }), "is damaged: its header"},
      {changed([](Bytes& b) { b.push_back(0); }), "is damaged: it is longer than it says"},
      {changed([](Bytes& b) { b[5000] ^= 0x55; }), "is damaged: its checksum does not match"},
      // Sealed again after the change: values the machine cannot run from.
      {changed([](Bytes& b) {
         b[BlockData(b, "CPU ") + 9] = 0xEA;  // NOP, in its idle calls with Cycle past LastCycle
         b[BlockData(b, "CPU ") + 10] = 7;
         b[BlockData(b, "CPU ") + 11] = 3;
         Reseal(b);
       }),
       "is damaged: its processor block"},
      {changed([](Bytes& b) {
         b[BlockData(b, "VIC ") + 0x2F + 1] = 0x02;  // raster line 512 + low byte
         Reseal(b);
       }),
       "is damaged: its VIC-II block"},
      {changed([](Bytes& b) {
         b[BlockData(b, "SID ") + 29 + 1] = 16;  // the first voice's wave table
         Reseal(b);
       }),
       "is damaged: its SID block"},
      {changed([](Bytes& b) {
         std::memcpy(b.data() + BlockData(b, "PORT") - 8, "PRT ", 4);
         Reseal(b);
       }),
       "is damaged: its processor port block"},
      {changed([](Bytes& b) {
         b[BlockData(b, "KEYS") + 8] = 0xFF;  // a queue of millions of key events
         b[BlockData(b, "KEYS") + 11] = 0x7F;
         Reseal(b);
       }),
       "is damaged: its keyboard block"},
  };
  for (const auto& [bytes, reason] : cases) {
    EXPECT_TRUE(SnapshotLoad(bytes.data(), bytes.size()).starts_with(reason)) << reason;
    EXPECT_TRUE(test::TakeFingerprint() == before) << reason;
  }
}

TEST(Snapshot, FilesAreWrittenWholeOrNotAtAllAndErrorsNameTheFile) {
  test::PowerOnMachine();
  RunFast(5);
  const std::string path = test::WriteTempFile("machine.qsn", {});
  EXPECT_EQ(SnapshotSaveFile(path), "");
  EXPECT_FALSE(std::filesystem::exists(path + ReplacementSuffix + "1"));
  EXPECT_EQ(SnapshotLoadFile(path), "");
  EXPECT_EQ(SnapshotSaveFile("/nonexistent/quillon/machine.qsn"),
            "cannot write '/nonexistent/quillon/machine.qsn': No such file or directory");
  EXPECT_TRUE(SnapshotLoadFile("/nonexistent/quillon/machine.qsn")
                  .starts_with("cannot read '/nonexistent/quillon/machine.qsn'"));
  const std::string text = test::WriteTempFile("notes.qsn", {'h', 'i'});
  EXPECT_EQ(SnapshotLoadFile(text), "'" + text + "' is not a Quillon snapshot");
  const std::string huge = test::WriteTempFile("huge.qsn", Bytes(SnapshotMaxSize + 1, 0));
  EXPECT_EQ(SnapshotLoadFile(huge), "'" + huge + "' is too large to be a Quillon snapshot");
}

TEST(Snapshot, TheFileMenuSavesAndLoadsAndSaysWhyASnapshotIsRefused) {
  ASSERT_NE(FindMenuItem(CommandSaveSnapshot), nullptr);
  EXPECT_STREQ(FindMenuItem(CommandSaveSnapshot)->Text, "&Save snapshot...");
  EXPECT_STREQ(FindMenuItem(CommandLoadSnapshot)->Text, "Load s&napshot...");
  RasterBars();
  UseHeadlessBackend(false);
  RunFast(10);
  const std::string folder = std::filesystem::path(test::WriteTempFile("menu", {})).parent_path();
  Headless.ChosenFile = folder + "/from-menu";  // no extension: the snapshot's is added
  MainWindowProc(nullptr, MessageCommand, CommandSaveSnapshot, 0);
  const std::string saved = folder + "/from-menu.qsn";
  ASSERT_TRUE(std::filesystem::exists(saved));
  EXPECT_EQ(Headless.LastFilter, std::string(SnapshotFileFilter, sizeof SnapshotFileFilter - 1));
  const test::MachineFingerprint atSave = test::TakeFingerprint();

  // Another machine, in NTSC: loading brings back the saved one and the check marks of its
  // model, PAL and SID chip.
  test::PowerOnMachine();
  UseHeadlessBackend(false);
  VideoStandard = VideoStandardNtsc;
  Headless.ChosenFile = saved;
  MainWindowProc(nullptr, MessageCommand, CommandLoadSnapshot, 0);
  EXPECT_TRUE(test::TakeFingerprint() == atSave);
  EXPECT_EQ(Headless.MenuChanges,
            (std::vector<std::string>{"C&lassic machine=1", "&Accurate machine (cycle-exact)=0",
                                      "&PAL=1", "SID chip &6581=1", "SID chip &8580 (C64C)=0"}));

  // A damaged file: a message box, and the machine runs on as it was.
  RunFast(2);
  const test::MachineFingerprint running = test::TakeFingerprint();
  Bytes cut = SnapshotSave();
  cut.resize(30);
  Headless.ChosenFile = test::WriteTempFile("cut.qsn", cut);
  MainWindowProc(nullptr, MessageCommand, CommandLoadSnapshot, 0);
  EXPECT_EQ(Headless.MessageBoxes,
            std::vector<std::string>{"Quillon: '" + Headless.ChosenFile + "' is cut short"});
  EXPECT_TRUE(test::TakeFingerprint() == running);
  // A cancelled dialog does nothing.
  Headless.ChosenFile.clear();
  MainWindowProc(nullptr, MessageCommand, CommandLoadSnapshot, 0);
  MainWindowProc(nullptr, MessageCommand, CommandSaveSnapshot, 0);
  EXPECT_EQ(Headless.MessageBoxes.size(), 1u);
}

}  // namespace
}  // namespace quillon
