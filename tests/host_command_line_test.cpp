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

TEST(HostCommandLine, ShiftedCharactersTypeWithShiftOnTheKeyTheC64HasThemOn) {
  std::vector<TypedKey> keys;
  ASSERT_EQ(TranslateTypedText("\":(", keys), "");
  ASSERT_EQ(keys.size(), 3u);
  EXPECT_EQ(keys[0].VirtualKey, VirtualKeyOem7);
  EXPECT_EQ(keys[1].VirtualKey, VirtualKeyOem1);
  EXPECT_EQ(keys[2].VirtualKey, '9');
  for (const TypedKey& key : keys) EXPECT_TRUE(key.Shift);
}

}  // namespace
}  // namespace quillon
