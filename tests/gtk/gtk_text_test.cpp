#include <fnmatch.h>
#include <gtest/gtest.h>

#include "backends/gtk/gtk_text.h"
#include "resources/menu.h"

namespace quillon {
namespace {

TEST(GtkText, MenuMnemonicsBecomeUnderscores) {
  EXPECT_EQ(MnemonicLabel("Load &cartridge..."), "Load _cartridge...");
  EXPECT_EQ(MnemonicLabel("E&xit"), "E_xit");
  EXPECT_EQ(MnemonicLabel("&?"), "_?");
  EXPECT_EQ(MnemonicLabel("Salt && pepper"), "Salt & pepper");
  EXPECT_EQ(MnemonicLabel("snake_case"), "snake__case");
  // Every text of the menu keeps its letters and loses its ampersands.
  for (const MenuResource& menu : MainMenu) {
    for (const MenuItemResource& item : menu.Items) {
      if (item.Text == nullptr) continue;
      const std::string label = MnemonicLabel(item.Text);
      EXPECT_EQ(label.find('&'), std::string::npos) << item.Text;
      EXPECT_EQ(label.size(), std::string(item.Text).size()) << item.Text;
    }
  }
}

// GTK's file filters match their patterns as the shell's fnmatch does.
bool Matches(const FileFilterSpec& filter, const char* name) {
  for (const std::string& pattern : filter.Patterns) {
    if (fnmatch(pattern.c_str(), name, 0) == 0) return true;
  }
  return false;
}

TEST(GtkText, FileFiltersMatchTheirExtensionsInAnyCase) {
  const std::vector<FileFilterSpec> programs = ParseFileFilter(ProgramFileFilter);
  ASSERT_EQ(programs.size(), 1u);
  EXPECT_EQ(programs[0].Description, "Program file (*.prg; *.p00)");
  for (const char* name : {"GAME.PRG", "game.prg", "Game.Prg", "GAME.P00", "game.p00"}) {
    EXPECT_TRUE(Matches(programs[0], name)) << name;
  }
  for (const char* name : {"game.crt", "game.prg.txt", "game.p01", "prg"}) {
    EXPECT_FALSE(Matches(programs[0], name)) << name;
  }

  const std::vector<FileFilterSpec> cartridges = ParseFileFilter(CartridgeFileFilter);
  ASSERT_EQ(cartridges.size(), 1u);
  EXPECT_EQ(cartridges[0].Description, "Cartridge (*.crt)");
  EXPECT_TRUE(Matches(cartridges[0], "ACTION.CRT"));
  EXPECT_TRUE(Matches(cartridges[0], "action.crt"));
  EXPECT_FALSE(Matches(cartridges[0], "action.prg"));

  // A description without patterns ends the list rather than reading past it.
  EXPECT_TRUE(ParseFileFilter("Lonely\0").empty());
}

}  // namespace
}  // namespace quillon
