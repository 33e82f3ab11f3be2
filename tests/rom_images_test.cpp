#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "core/machine.h"
#include "core/rom_images.h"
#include "cpu/cpu.h"
#include "support/machine.h"
#include "support/temp_file.h"

namespace quillon {
namespace {

// The program looks for ROM files by bare name in its current directory.
TEST(RomFiles, ShortFilesReplaceAPrefixLongFilesAreCutOthersAreIgnored) {
  const std::string chargen = test::WriteTempFile("CHAR.ROM", std::vector<std::uint8_t>(2048, 0xC1));
  test::WriteTempFile("BASIC.ROM", std::vector<std::uint8_t>(16384, 0xB1));
  std::filesystem::current_path(std::filesystem::path(chargen).parent_path());
  std::filesystem::create_directory("KERNAL.ROM");  // opens, but cannot be read as a file
  const RomImageSet builtIn = RomImages;
  LoadRomFiles();
  EXPECT_EQ(RomImages.Chargen[2047], 0xC1);
  EXPECT_EQ(RomImages.Chargen[2048], builtIn.Chargen[2048]);
  EXPECT_EQ(RomImages.Basic[8191], 0xB1);
  EXPECT_TRUE(std::equal(builtIn.Kernal, builtIn.Kernal + KernalRomSize, RomImages.Kernal));
}

TEST(RomFiles, KernalFileTakesEffectAtTheFirstResetRequest) {
  std::vector<std::uint8_t> kernal(8192, 0xEA);
  kernal[0x1FFD] = 0xE0;  // reset vector $E000
  kernal[0x1FFC] = 0x00;
  const std::string path = test::WriteTempFile("KERNAL.ROM", kernal);
  std::filesystem::current_path(std::filesystem::path(path).parent_path());
  test::PowerOnMachine();
  EXPECT_EQ(Cpu.PC, 0xFCE2) << "the start address comes from the built-in image";
  EXPECT_EQ(KernalResetVector(), 0xE000);
}

}  // namespace
}  // namespace quillon
