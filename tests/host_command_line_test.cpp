#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "host/command_line.h"
#include "host/messages.h"
#include "support/temp_file.h"

namespace quillon {
namespace {

std::string Parse(std::initializer_list<const char*> arguments, CommandLineOptions& options) {
  std::vector<const char*> argv{"quillon"};
  argv.insert(argv.end(), arguments);
  return ParseCommandLine(static_cast<int>(argv.size()), argv.data(), options);
}

std::string ErrorOf(std::initializer_list<const char*> arguments) {
  CommandLineOptions options;
  return Parse(arguments, options);
}

TEST(HostCommandLine, NoArgumentsIsTheWindowAndEveryOptionIsRead) {
  CommandLineOptions plain;
  EXPECT_EQ(Parse({}, plain), "");
  EXPECT_FALSE(plain.Headless);
  EXPECT_EQ(plain.Frames, 300);
  EXPECT_TRUE(plain.File.empty());

  const std::string program = test::WriteTempFile("game.P00", {0});
  CommandLineOptions options;
  EXPECT_EQ(Parse({"--headless", "--frames", "42", "--realtime", "--ntsc", "--screen-text",
                   "--trace", "--screenshot", "out.png", program.c_str(), "--type", "Ok\\n"},
                  options),
            "");
  EXPECT_TRUE(options.Headless && options.RealTime && options.Ntsc && options.ScreenText &&
              options.Trace);
  EXPECT_EQ(options.Frames, 42);
  EXPECT_EQ(options.ScreenshotPath, "out.png");
  EXPECT_EQ(options.File, program);
  ASSERT_EQ(options.TypedKeys.size(), 3u);
  EXPECT_EQ(options.TypedKeys[0].VirtualKey, 'O');
  EXPECT_EQ(options.TypedKeys[1].VirtualKey, 'K') << "lower case types the same key";
  EXPECT_EQ(options.TypedKeys[2].VirtualKey, VirtualKeyReturn);
}

TEST(HostCommandLine, BadArgumentsSayWhatIsWrong) {
  const std::string program = test::WriteTempFile("x.prg", {0});
  const std::string folder = program.substr(0, program.rfind('/')) + "/folder.prg";
  std::filesystem::create_directory(folder);
  EXPECT_EQ(ErrorOf({"--bogus"}), "unknown option '--bogus' (see --help)");
  EXPECT_EQ(ErrorOf({"--headless", "--frames"}), "--frames needs a number of frames");
  for (const char* number : {"0", "-5", "12x", "", "99999999999"}) {
    EXPECT_NE(ErrorOf({"--headless", "--frames", number}).find("--frames needs a whole number"),
              std::string::npos)
        << number;
  }
  EXPECT_EQ(ErrorOf({"--frames", "10"}), "--frames works only with --headless");
  EXPECT_EQ(ErrorOf({"--headless", "missing.prg"}), "cannot read 'missing.prg'");
  EXPECT_EQ(ErrorOf({"--headless", "notes.txt"}), "'notes.txt' is not a .prg, .p00 or .crt file");
  EXPECT_EQ(ErrorOf({"--headless", "/"}), "'/' is not a .prg, .p00 or .crt file");
  EXPECT_EQ(ErrorOf({"--headless", folder.c_str()}), "cannot read '" + folder + "'");
  EXPECT_EQ(ErrorOf({program.c_str(), program.c_str()}).rfind("only one file", 0), 0u);
  EXPECT_EQ(ErrorOf({"--headless", "--type", "~"}),
            "no C64 key types the character '~' in --type");
  EXPECT_EQ(ErrorOf({"--headless", "--screenshot"}), "--screenshot needs a file name");
}

TEST(HostCommandLine, TypedTextUsesTheKeysThatGiveEachCharacterOnTheC64) {
  std::vector<TypedKey> keys;
  ASSERT_EQ(TranslateTypedText("PRINT \"A\",6*7:?(1)\n", keys), "");
  const std::vector<std::pair<int, bool>> expected = {
      {'P', false}, {'R', false}, {'I', false}, {'N', false}, {'T', false},
      {VirtualKeySpace, false}, {VirtualKeyOem7, true}, {'A', false}, {VirtualKeyOem7, true},
      {VirtualKeyOemComma, false}, {'6', false}, {VirtualKeyMultiply, false}, {'7', false},
      {VirtualKeyOem1, true}, {VirtualKeyDivide, true}, {'9', true}, {'1', false}, {'0', true},
      {VirtualKeyReturn, false}};
  ASSERT_EQ(keys.size(), expected.size());
  for (std::size_t i = 0; i < keys.size(); ++i) {
    EXPECT_EQ(keys[i].VirtualKey, expected[i].first) << i;
    EXPECT_EQ(keys[i].Shift, expected[i].second) << i;
  }
}

}  // namespace
}  // namespace quillon
