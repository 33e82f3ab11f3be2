#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "core/machine.h"
#include "media/cartridge.h"
#include "media/program_file.h"
#include "support/files.h"
#include "support/machine.h"

namespace quillon {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(ProgramFile, OnlyRegularFilesAreReadAndNoMoreThan64KOfProgram) {
  test::PowerOnMachine();
  // A FIFO with no writer would block the open; a device would feed the loader without end.
  const std::string fifo = test::WriteTempFile("pipe.prg", {});
  std::remove(fifo.c_str());
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const Bytes before(MainRam, MainRam + MainRamSize);
  for (const char* path : {"/dev/zero", fifo.c_str()}) {
    LoadProgramFile(path, MainRam);
    CartridgePath = path;
    CartridgeAttached = 1;
    LoadCartridge(path);
  }
  EXPECT_TRUE(std::equal(before.begin(), before.end(), MainRam));

  // 70,000 bytes from $0801: the first 64 KB go round the address space once and stop.
  Bytes file = {0x01, 0x08};
  for (int i = 0; i < 70000; ++i) file.push_back(static_cast<std::uint8_t>(i % 251));
  LoadProgramFile(test::WriteTempFile("long.prg", file).c_str(), MainRam);
  EXPECT_EQ(MainRam[0x0801], 0) << "byte 65,536 is not read";
  EXPECT_EQ(MainRam[0x0800], 65535 % 251) << "the address wrapped round to just below the start";
  EXPECT_EQ(MainRam[0x2D] | MainRam[0x2E] << 8, 0x0801);
}

}  // namespace
}  // namespace quillon
