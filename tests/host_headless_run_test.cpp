#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/command_line.h"
#include "host/headless/headless_run.h"
#include "support/basic_program.h"
#include "support/picture_text.h"
#include "support/temp_file.h"
#include "vic/frame_image.h"

namespace quillon {
namespace {

int RowOf(const std::vector<std::string>& rows, const std::string& text) {
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows[i] == text) return static_cast<int>(i);
  }
  return -1;
}

TEST(HostHeadlessRun, AProgramRunsFirstAndTypingWaitsForBasicToReturn) {
  CommandLineOptions options;
  options.File = test::WriteTempFile("sum.prg", test::BasicProgramFile({"10 PRINT 617*2"}));
  ASSERT_EQ(TranslateTypedText("PRINT 6*7\\n", options.TypedKeys), "");
  const HeadlessRunResult result = RunHeadless(options);
  EXPECT_EQ(result.ExitCode, 0);
  EXPECT_EQ(result.FramesRun, 300);
  const int program = RowOf(result.ScreenText, " 1234");
  const int typed = RowOf(result.ScreenText, " 42");
  EXPECT_GT(program, 0);
  EXPECT_GT(typed, program);
  EXPECT_EQ(result.ScreenText[typed - 1], "PRINT 6*7");
}

TEST(HostHeadlessRun, TheTraceViewIsDrawnIntoTheFinalPictureTopRowFirst) {
  CommandLineOptions options;
  options.Frames = 150;
  options.Trace = true;
  const HeadlessRunResult result = RunHeadless(options);
  ASSERT_EQ(result.PictureWidth, 360);
  ASSERT_EQ(result.PictureHeight, 240);
  ASSERT_EQ(result.Picture.size(), 360u * 240u);
  EXPECT_EQ(test::PictureRowText(0).substr(32), "NV-BDIZC");
  EXPECT_EQ(test::PictureRowText(1).substr(0, 10), "STACKP: $0");
  // The trace view's black cells are at the top of the display window, the blue screen's
  // background at its bottom: the rows come out top first.
  EXPECT_EQ(result.Picture[20 * 360 + 20 + 7], Palette[0]);
  EXPECT_EQ(result.Picture[219 * 360 + 20 + 7], Palette[6]);
  EXPECT_EQ(result.Picture[0], Palette[14]) << "light blue border";
}

}  // namespace
}  // namespace quillon
