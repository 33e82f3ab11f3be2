// The program's entry: with no arguments (or only a file) the desktop window, with --headless a
// run without a window for automation. Errors in the arguments exit with status 2 before
// anything runs.
#include <cstdio>
#include <string>

#include "app/program.h"
#include "host/command_line.h"
#include "host/headless/headless_run.h"
#include "host/png/png_writer.h"
#include "host/window_run.h"
#if QUILLON_HAVE_GTK
#include "host/gtk/gtk_backend.h"
#endif
#if QUILLON_HAVE_WIN32
#include "host/win32/win32_backend.h"
#endif

namespace {

using namespace quillon;

int Fail(const std::string& message) {
  std::fprintf(stderr, "quillon: %s\n", message.c_str());
  return 2;
}

int RunWithoutWindow(const CommandLineOptions& options) {
  const HeadlessRunResult result = RunHeadless(options);
  if (result.ExitCode != 0) return result.ExitCode;
  if (!options.ScreenshotPath.empty() &&
      !WritePng(options.ScreenshotPath, result.Picture.data(), result.PictureWidth,
                result.PictureHeight, result.PictureWidth)) {
    return Fail("cannot write '" + options.ScreenshotPath + "'");
  }
  if (options.ScreenText) {
    for (const std::string& row : result.ScreenText) std::printf("%s\n", row.c_str());
  }
  return 0;
}

// Makes this build's desktop backend the platform; false when there is no desktop to open a
// window on.
bool UseDesktopBackend() {
#if QUILLON_HAVE_GTK
  if (!OpenGtkDisplay()) return false;
  UseGtkBackend();
  return true;
#elif QUILLON_HAVE_WIN32
  UseWin32Backend();
  return true;
#else
  return false;
#endif
}

}  // namespace

int quillon::RunProgram(int argc, char** argv) {
  CommandLineOptions options;
  const std::string error = ParseCommandLine(argc, argv, options);
  if (!error.empty()) return Fail(error);
  if (options.Help) {
    std::fputs(UsageText, stdout);
    return 0;
  }
  if (options.Version) {
    std::fputs(VersionText, stdout);
    return 0;
  }
  if (!options.Headless) {
    if (UseDesktopBackend()) return RunMainWindow(options.File, options.Warp);
    // No display to open a window on: the run happens without one, and the booted screen is
    // shown as text.
    std::fprintf(stderr, "quillon: no desktop display; running headless\n");
    options.ScreenText = true;
  }
  return RunWithoutWindow(options);
}

// Windows enters through WinMain (host/win32/win_main.cpp).
#if !QUILLON_HAVE_WIN32
int main(int argc, char** argv) { return quillon::RunProgram(argc, argv); }
#endif
