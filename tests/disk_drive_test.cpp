#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/machine.h"
#include "cpu/cpu.h"
#include "app/command_line.h"
#include "backends/headless/headless_backend.h"
#include "app/headless_run.h"
#include "app/window_run.h"
#include "platform/messages.h"
#include "window/window_proc.h"
#include "media/cartridge.h"
#include "media/d64_image.h"
#include "media/disk_drive.h"
#include "media/file_replace.h"
#include "support/disk_images.h"
#include "support/files.h"
#include "support/machine.h"

namespace quillon {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(file), {});
}

std::string Screen() {
  std::string text;
  for (int row = 0; row < 25; ++row) {
    std::string line = test::ScreenRowText(row);
    line.erase(line.find_last_not_of(' ') + 1);
    text += line + "\n";
  }
  return text;
}

// A disk with a BASIC program that prints HELLO and a second file.
Bytes HelloDisk() {
  Bytes image = test::BlankD64("TEST DISK", "TD");
  test::AddD64File(image, "HELLO", test::BasicProgramFile({"10 PRINT \"HELLO\""}));
  test::AddD64File(image, "DATA", {0x00, 0xC0, 1, 2, 3});
  return image;
}

// Boots, attaches `image` (when given) and types `text`; returns the screen afterwards.
std::string TypeWithDisk(const std::string& image, std::string_view text, int frames = 60) {
  test::PowerOnMachine();
  test::RunFrames(150);
  if (image.empty()) {
    DetachDiskImage();
  } else {
    EXPECT_EQ(AttachDiskImage(image), "");
  }
  test::TypeText(text);
  test::RunFrames(frames);
  return Screen();
}

// Runs the program in a process of its own and returns what it printed.
std::string RunProgram(const std::string& arguments) {
  const std::string command = std::string(QUILLON_PROGRAM) + " " + arguments;
  std::FILE* pipe = popen(command.c_str(), "r");
  std::string output;
  char buffer[256];
  while (pipe != nullptr && std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
  EXPECT_EQ(pipe != nullptr ? pclose(pipe) : -1, 0) << command;
  return output;
}

TEST(DiskDrive, DirectoryPatternsAndMissingFilesAtTheBasicPrompt) {
  const std::string image = test::WriteTempFile("hello.d64", HelloDisk());
  std::string screen = TypeWithDisk(image, "LOAD\"$\",8\nLIST\n");
  EXPECT_NE(screen.find("SEARCHING FOR $\nLOADING\nREADY."), std::string::npos) << screen;
  EXPECT_NE(screen.find("\n0 \"TEST DISK       \" TD 2A\n"
                        "1    \"HELLO\"            PRG\n"
                        "1    \"DATA\"             PRG\n"
                        "662 BLOCKS FREE.\n"),
            std::string::npos)
      << screen;

  screen = TypeWithDisk(image, "LOAD\"H?L*\",8\nRUN\n");
  EXPECT_NE(screen.find("RUN\nHELLO\n"), std::string::npos) << screen;

  screen = TypeWithDisk(image, "LOAD\"HELLO!\",8\nLOAD\"DATA\",8,1\n");
  EXPECT_NE(screen.find("SEARCHING FOR HELLO!\n?FILE NOT FOUND  ERROR"), std::string::npos)
      << screen;
  EXPECT_EQ(MainRam[0xC000] + MainRam[0xC001] + MainRam[0xC002], 6) << "to the file's address";

  screen = TypeWithDisk(image, "LOAD\"HELLO\",8\nVERIFY\"*\",8\nPOKE2049,0\nVERIFY\"*\",8\n");
  EXPECT_NE(screen.find("VERIFYING\nOK\n"), std::string::npos) << screen;
  EXPECT_NE(screen.find("VERIFYING\n?VERIFY  ERROR"), std::string::npos) << screen;

  // Only device 8 is the drive; and a program that bends the LOAD vector to its own code
  // (here straight to the KERNAL's ?DEVICE NOT PRESENT) is not caught.
  screen = TypeWithDisk(image, "LOAD\"$\",9\nPOKE816,7:POKE817,247\nLOAD\"$\",8\n");
  EXPECT_EQ(screen.find("LOADING"), std::string::npos) << screen;
  EXPECT_EQ(std::count(screen.begin(), screen.end(), '?'), 2) << screen;
  EXPECT_NE(screen.find("?DEVICE NOT PRESENT  ERROR"), std::string::npos) << screen;

  // With no image attached device 8 is not there, as before.
  screen = TypeWithDisk("", "LOAD\"$\",8\n");
  EXPECT_NE(screen.find("?DEVICE NOT PRESENT  ERROR"), std::string::npos) << screen;
}

TEST(DiskDrive, SavedProgramLoadsAndRunsInANewProcess) {
  Bytes disk = HelloDisk();
  const std::string image = test::WriteTempFile("save.d64", disk);
  D64Image before;
  ASSERT_TRUE(D64Open(disk, before));
  // The name that SAVE once wrote to, left behind as a link to another file, which a SAVE must
  // not write through.
  const std::string other = test::WriteTempFile("other.d64", {'k', 'e', 'e', 'p'});
  std::filesystem::create_symlink(other, image + ".saving");
  std::string output = RunProgram(
      "--headless --disk " + image +
      " --frames 700 --screen-text --type '10 PRINT \"SAVED\"+\"!\"\\nSAVE\"NEW\",8\\n'");
  EXPECT_NE(output.find("SAVING NEW\nREADY."), std::string::npos) << output;

  const Bytes after = ReadFile(image);
  EXPECT_EQ(test::D64BlocksFree(after), test::D64BlocksFree(disk) - 1);
  // The other files' blocks and entries are as they were.
  for (int sector : {0, 10}) {
    const std::size_t at = test::D64Offset(17, sector);
    EXPECT_TRUE(std::equal(disk.begin() + at, disk.begin() + at + 256, after.begin() + at));
  }
  const std::size_t entries = test::D64Offset(18, 1);
  EXPECT_TRUE(std::equal(disk.begin() + entries, disk.begin() + entries + 64, after.begin() + entries));
  EXPECT_FALSE(std::filesystem::is_symlink(image));
  EXPECT_EQ(ReadFile(other), Bytes({'k', 'e', 'e', 'p'}));
  EXPECT_FALSE(std::filesystem::exists(image + ReplacementSuffix + "1")) << "no new file left";

  output = RunProgram("--headless --disk " + image +
                      " --frames 500 --screen-text --type 'LOAD\"NEW\",8\\nRUN\\n'");
  EXPECT_NE(output.find("RUN\nSAVED!\n"), std::string::npos) << output;
}

TEST(DiskDrive, SaveRefusalsKeepTheImageAsItWas) {
  const Bytes disk = HelloDisk();
  const std::string image = test::WriteTempFile("refuse.d64", disk);
  std::string screen = TypeWithDisk(image, "10 REM\nSAVE\"HELLO\",8\n");
  EXPECT_NE(screen.find("SAVING HELLO\n?FILE OPEN  ERROR"), std::string::npos) << screen;
  EXPECT_EQ(ReadFile(image), disk);

  // A read-only image, and a read-only folder, are write-protected.
  std::filesystem::permissions(image, std::filesystem::perms::owner_read);
  screen = TypeWithDisk(image, "10 REM\nSAVE\"NEW\",8\n");
  EXPECT_NE(screen.find("SAVING NEW\n?NOT OUTPUT FILE  ERROR"), std::string::npos) << screen;
  EXPECT_EQ(ReadFile(image), disk);
  std::filesystem::permissions(image, std::filesystem::perms::owner_all);
  const std::filesystem::path folder = std::filesystem::path(image).parent_path() / "locked";
  std::filesystem::create_directory(folder);
  const std::string locked = (folder / "locked.d64").string();
  std::filesystem::copy_file(image, locked);
  std::filesystem::permissions(folder, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::owner_exec);
  screen = TypeWithDisk(locked, "10 REM\nSAVE\"NEW\",8\n");
  std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
  EXPECT_NE(screen.find("?NOT OUTPUT FILE  ERROR"), std::string::npos) << screen;
  EXPECT_EQ(ReadFile(locked), disk);

  // A tape archive is never written.
  const Bytes tape = test::T64Archive("TAPE", {{"GAME", 0x0801, {0, 0}}});
  const std::string archive = test::WriteTempFile("refuse.t64", tape);
  screen = TypeWithDisk(archive, "10 REM\nSAVE\"NEW\",8\n");
  EXPECT_NE(screen.find("?NOT OUTPUT FILE  ERROR"), std::string::npos) << screen;
  EXPECT_EQ(ReadFile(archive), tape);

  // "@0:" replaces; wildcards are no names to save under.
  screen = TypeWithDisk(image, "10 REM\nSAVE\"@0:HELLO\",8\nSAVE\"A*\",8\n");
  EXPECT_NE(screen.find("0:HELLO\nREADY."), std::string::npos) << screen;
  EXPECT_NE(screen.find("SAVING A*\n?MISSING FILE NAME  ERROR"), std::string::npos) << screen;
  EXPECT_EQ(test::D64BlocksFree(ReadFile(image)), test::D64BlocksFree(disk));
}

TEST(DiskDrive, DamagedImagesFailInBoundedTimeAndAreNotWritten) {
  Bytes looping = HelloDisk();
  looping[test::D64Offset(17, 0)] = 17;  // HELLO's only block links to itself
  looping[test::D64Offset(17, 0) + 1] = 0;
  Bytes leaving = HelloDisk();
  leaving[test::D64Offset(17, 0)] = 40;  // and here off a 35-track disk
  Bytes circular = HelloDisk();
  circular[test::D64Offset(18, 1)] = 18;  // the directory links back to its first block
  circular[test::D64Offset(18, 1) + 1] = 1;
  for (const Bytes& disk : {looping, leaving, circular}) {
    const std::string image = test::WriteTempFile("damaged.d64", disk);
    const auto start = std::chrono::steady_clock::now();
    const std::string screen = TypeWithDisk(image, "LOAD\"HELLO\",8\nSAVE\"NEW\",8\n");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_NE(screen.find("LOADING\n?LOAD  ERROR"), std::string::npos) << screen;
    EXPECT_NE(screen.find("SAVING NEW\n?NOT OUTPUT FILE  ERROR"), std::string::npos) << screen;
    EXPECT_EQ(ReadFile(image), disk);
  }

  // An image cut short is refused when attached, and fails at LOAD when cut afterwards.
  const std::string image = test::WriteTempFile("cut.d64", HelloDisk());
  test::PowerOnMachine();
  test::RunFrames(150);
  ASSERT_EQ(AttachDiskImage(image), "");
  std::filesystem::resize_file(image, 100000);
  test::TypeText("LOAD\"HELLO\",8\n");
  test::RunFrames(60);
  EXPECT_NE(Screen().find("?LOAD  ERROR"), std::string::npos) << Screen();
  EXPECT_EQ(std::filesystem::file_size(image), 100000u);
  EXPECT_NE(CheckDiskImage(image).find("is not a D64 disk image: 100000 bytes"), std::string::npos)
      << CheckDiskImage(image);
}

TEST(DiskDrive, DiskAndTapeImagesAutostartTheirFirstProgram) {
  const Bytes program = test::BasicProgramFile({"10 PRINT \"FROM\";\" THE IMAGE\""});
  Bytes disk = test::BlankD64("AUTO", "AU");
  test::AddD64File(disk, "FIRST", program);
  test::AddD64File(disk, "SECOND", test::BasicProgramFile({"10 PRINT \"WRONG\""}));
  const Bytes tape = test::T64Archive(
      "AUTO", {{"FIRST", 0x0801, Bytes(program.begin() + 2, program.end())}, {"OTHER", 0xC000, {1}}});
  for (const std::string& file : {test::WriteTempFile("auto.d64", disk),
                                  test::WriteTempFile("auto.t64", tape)}) {
    test::PowerOnMachine();
    CommandLineOptions options;
    options.File = file;
    const HeadlessRunResult result = RunHeadless(options);
    std::string text;
    for (const std::string& row : result.ScreenText) text += row + "\n";
    EXPECT_NE(text.find("LOAD\"*\",8,1\n\nSEARCHING FOR *\nLOADING\nREADY.\nRUN\nFROM THE IMAGE\n"),
              std::string::npos)
        << file << "\n" << text;
    EXPECT_EQ(DiskPath, file) << "the image stays attached";
  }
}

// Runs `file` as the command line's start file and returns the run.
HeadlessRunResult Started(const std::string& file, int frames = 300) {
  test::PowerOnMachine();
  CommandLineOptions options;
  options.File = file;
  options.Frames = frames;
  return RunHeadless(options);
}

TEST(DiskDrive, BothKindsOfStartLeaveTheDeviceAndEndAsTheKernalsLoadDoes) {
  // A program that loads its next part from the device it came from needs $BA; $AE/$AF hold
  // the end of the load.
  const Bytes program = test::BasicProgramFile({"10 PRINT PEEK(186);PEEK(174)+256*PEEK(175)"});
  const std::uint16_t end = static_cast<std::uint16_t>(0x0801 + program.size() - 2);
  Bytes disk = test::BlankD64("DEVICE", "DV");
  test::AddD64File(disk, "FIRST", program);
  for (const std::string& file : {test::WriteTempFile("device.prg", program),
                                  test::WriteTempFile("device.d64", disk)}) {
    const HeadlessRunResult result = Started(file);
    const std::string expected = " 8  " + std::to_string(end);
    EXPECT_NE(std::find(result.ScreenText.begin(), result.ScreenText.end(), expected),
              result.ScreenText.end())
        << file;
  }
}

TEST(DiskDrive, ABootFileLoadedOverTheStackStartsItself) {
  // Loaded to $0110, the file fills the stack with $02 bytes, so that the LOAD's return goes
  // to $0203: code there writes "OK" to the screen and stays. RUN is never typed.
  Bytes boot = {0x10, 0x01};
  boot.insert(boot.end(), 0x0203 - 0x0110, 0x02);
  const Bytes code = {0xA9, 0x0F, 0x8D, 0x00, 0x04, 0xA9, 0x0B, 0x8D, 0x01, 0x04,  // "OK"
                      0x4C, 0x0D, 0x02};                                      // JMP *
  boot.insert(boot.end(), code.begin(), code.end());
  Bytes disk = test::BlankD64("BOOT", "BT");
  test::AddD64File(disk, "BOOT", boot);
  const HeadlessRunResult result = Started(test::WriteTempFile("boot.d64", disk));
  EXPECT_EQ(result.ExitCode, 0);
  ASSERT_FALSE(result.ScreenText.empty());
  EXPECT_EQ(result.ScreenText[0].substr(0, 2), "OK");
  EXPECT_EQ(std::count(result.ScreenText.begin(), result.ScreenText.end(), "RUN"), 0);
}

TEST(DiskDrive, AnImageWithNothingToLoadIsSaidToHaveNoneAndNotRun) {
  Bytes loop = HelloDisk();
  loop[test::D64Offset(18, 1)] = 18;  // the directory links back to its first block
  loop[test::D64Offset(18, 1) + 1] = 1;
  Bytes leaves = HelloDisk();
  leaves[test::D64Offset(17, 0)] = 40;  // HELLO's chain goes off a 35-track disk
  const std::pair<Bytes, const char*> cases[] = {
      {test::BlankD64("EMPTY", "EM"), "LOAD\"*\",8 finds no file"},
      {loop, "its directory or first file is damaged"},
      {leaves, "its directory or first file is damaged"}};
  for (const auto& [disk, reason] : cases) {
    const std::string file = test::WriteTempFile("nothing.d64", disk);
    const HeadlessRunResult result = Started(file);
    EXPECT_EQ(result.ExitCode, 2) << reason;
    ASSERT_EQ(result.Messages.size(), 1u);
    EXPECT_EQ(result.Messages[0], "'" + file + "' holds no program to start: " + reason);
    EXPECT_TRUE(result.Picture.empty()) << "nothing ran";
  }
  // In the window the disk stays in the drive and a box says why nothing runs.
  const std::string file = test::WriteTempFile("empty.d64", test::BlankD64("EMPTY", "EM"));
  test::PowerOnMachine();
  UseHeadlessBackend(false);
  HeadlessPostMessage(MessageCommand, CommandExit, 0);
  CommandLineOptions options;
  options.File = file;
  EXPECT_EQ(RunMainWindow(options), 0);
  EXPECT_EQ(Headless.MessageBoxes,
            std::vector<std::string>{"Quillon: '" + file +
                                     "' holds no program to start: LOAD\"*\",8 finds no file"});
  EXPECT_EQ(DiskPath, file);
}

TEST(DiskDrive, CommandLineAndMenuAttachOnlyImagesAndDropsGoByType) {
  const std::string image = test::WriteTempFile("menu.d64", HelloDisk());
  const std::string wrong = test::WriteTempFile("wrong.d64", Bytes(1000));
  CommandLineOptions options;
  std::vector<const char*> argv = {"quillon", "--disk", image.c_str()};
  EXPECT_EQ(ParseCommandLine(3, argv.data(), options), "") << "--disk works with the window";
  EXPECT_EQ(options.Disk, image);
  const std::pair<std::vector<const char*>, std::string> cases[] = {
      {{"quillon", "--disk"}, "--disk needs a disk image"},
      {{"quillon", "--disk", "/dev/zero"}, "'/dev/zero' is not a .d64 or .t64 file"},
      {{"quillon", "--disk", wrong.c_str()}, "'" + wrong + "' is not a D64 disk image: 1000 bytes"},
      {{"quillon", "--headless", wrong.c_str()}, "'" + wrong + "' is not a D64 disk image"},
      {{"quillon", "--disk", image.c_str(), image.c_str()}, "--disk and a disk image to start"}};
  for (const auto& [arguments, error] : cases) {
    CommandLineOptions parsed;
    EXPECT_TRUE(ParseCommandLine(static_cast<int>(arguments.size()), arguments.data(), parsed)
                    .starts_with(error))
        << error;
  }

  test::PowerOnMachine();
  UseHeadlessBackend(false);
  const auto command = [](std::uint32_t id) { MainWindowProc(&Headless, MessageCommand, id, 0); };
  Headless.ChosenFile = image;
  command(CommandAttachDisk);
  EXPECT_EQ(Headless.LastFilter, std::string("Disk image (*.d64; *.t64)\0*.D64;*.T64\0", 38));
  EXPECT_EQ(DiskAttached, 1);
  EXPECT_EQ(Cpu.ResetRequest, 0) << "a disk goes in without a reset";
  Headless.ChosenFile = wrong;
  command(CommandAttachDisk);
  EXPECT_EQ(Headless.LastOfferedName, image) << "the dialog offers the attached image";
  EXPECT_EQ(DiskPath, image) << "a bad image leaves the drive as it was";
  ASSERT_EQ(Headless.MessageBoxes.size(), 1u);
  EXPECT_NE(Headless.MessageBoxes[0].find("is not a D64 disk image"), std::string::npos);
  command(CommandDetachDisk);
  EXPECT_EQ(DiskAttached, 0);

  // Drops do what the menu would for the file's type.
  const auto drop = [](const std::string& path) {
    HeadlessDropFile(path);
    ASSERT_EQ(Headless.Queue.back().Message, MessageDropFiles);
    MainWindowProc(&Headless, MessageDropFiles, Headless.Queue.back().WParam, 0);
    Headless.Queue.clear();
  };
  drop(image);
  EXPECT_EQ(DiskPath, image);
  drop(test::WriteTempFile("drop.prg", {0x00, 0xC1, 0x2A}));
  EXPECT_EQ(MainRam[0xC100], 0x2A);
  const std::string cartridge = test::WriteTempFile("drop.crt", {});
  drop(cartridge);
  EXPECT_EQ(CartridgePath, cartridge);
  EXPECT_EQ(CartridgeAttached + Cpu.ResetRequest, 2);
  Cpu.ResetRequest = 0;
  CartridgeAttached = 0;
  drop("/dev/zero");
  drop(test::WriteTempFile("notes.txt", {1}));
  EXPECT_EQ(CartridgeAttached + Cpu.ResetRequest, 0) << "other files change nothing";
}

}  // namespace
}  // namespace quillon
