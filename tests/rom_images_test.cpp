#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "core/machine.h"
#include "core/rom_images.h"
#include "cpu/cpu.h"
#include "support/machine.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

// Runs the test body in a fresh empty directory, the way the program looks up ROM files by
// bare name in its current directory.
class RomFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    images_ = RomImages;
    previous_ = fs::current_path();
    directory_ = fs::temp_directory_path() /
                 ("quillon-roms-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                  "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(directory_);
    fs::current_path(directory_);
  }
  void TearDown() override {
    fs::current_path(previous_);
    fs::remove_all(directory_);
    RomImages = images_;
  }
  static void WriteFile(const char* name, std::size_t size, std::uint8_t fill) {
    std::vector<char> bytes(size, static_cast<char>(fill));
    std::ofstream(name, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));
  }

  RomImageSet images_;
  fs::path previous_, directory_;
};

TEST_F(RomFilesTest, WithoutFilesTheBuiltInImagesStay) {
  const RomImageSet before = RomImages;
  LoadRomFiles();
  EXPECT_EQ(std::memcmp(&before, &RomImages, sizeof RomImages), 0);
}

TEST_F(RomFilesTest, ShortFilesReplaceAPrefixAndLongFilesAreCut) {
  const std::uint8_t secondHalfOfChargen = RomImages.Chargen[2048];
  WriteFile("CHAR.ROM", 2048, 0xC1);
  WriteFile("BASIC.ROM", 16384, 0xB1);
  LoadRomFiles();
  EXPECT_EQ(RomImages.Chargen[0], 0xC1);
  EXPECT_EQ(RomImages.Chargen[2047], 0xC1);
  EXPECT_EQ(RomImages.Chargen[2048], secondHalfOfChargen);
  EXPECT_EQ(RomImages.Basic[0], 0xB1);
  EXPECT_EQ(RomImages.Basic[8191], 0xB1);
  EXPECT_EQ(RomImages.Kernal[0x1FFC], 0xE2) << "a missing KERNAL.ROM leaves the built-in image";
}

TEST_F(RomFilesTest, UnreadableFileIsIgnored) {
  fs::create_directory("KERNAL.ROM");  // opens, but cannot be read as a file
  const std::uint8_t first = RomImages.Kernal[0];
  LoadRomFiles();
  EXPECT_EQ(RomImages.Kernal[0], first);
}

TEST_F(RomFilesTest, KernalFileTakesEffectAtTheFirstResetRequestOnly) {
  std::vector<char> kernal(8192, static_cast<char>(0xEA));
  kernal[0x1FFC] = 0x00;  // reset vector $E000
  kernal[0x1FFD] = static_cast<char>(0xE0);
  std::ofstream("KERNAL.ROM", std::ios::binary).write(kernal.data(), 8192);
  test::PowerOnMachine();
  // The start address was taken from the built-in image before the file was read.
  EXPECT_EQ(Cpu.PC, 0xFCE2);
  EXPECT_EQ(RomImages.Kernal[0], 0xEA);
  EXPECT_EQ(KernalResetVector(), 0xE000);
}

}  // namespace
}  // namespace quillon
