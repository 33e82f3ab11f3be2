// The program's entry: with no arguments (or only a file) the desktop window, with --headless a
// run without a window for automation. Errors in the arguments exit with status 2 before
// anything runs; --help lists the statuses.
#include <cstdio>
#include <string>

#include "host/command_line.h"
#include "host/headless/headless_run.h"
#include "host/png/png_writer.h"
#if QUILLON_HAVE_GTK
#include "host/gtk/gtk_backend.h"
#include "host/window_run.h"
#endif

namespace {

using namespace quillon;

int Fail(const std::string& message) {
  std::fprintf(stderr, "quillon: %s\n", message.c_str());
  return ExitBadInput;
}

int RunWithoutWindow(const CommandLineOptions& options) {
  const HeadlessRunResult result = RunHeadless(options);
  for (const std::string& message : result.Messages) {
    std::fprintf(stderr, "quillon: %s\n", message.c_str());
  }
  // A run that could not start has no picture to show.
  if (result.Picture.empty()) return result.ExitCode;
  if (!options.ScreenshotPath.empty() &&
      !WritePng(options.ScreenshotPath, result.Picture.data(), result.PictureWidth,
                result.PictureHeight, result.PictureWidth)) {
    return Fail("cannot write '" + options.ScreenshotPath + "'");
  }
  if (options.ScreenText) {
    for (const std::string& row : result.ScreenText) std::printf("%s\n", row.c_str());
  }
  return result.ExitCode;
}

}  // namespace

int main(int argc, char** argv) {
  CommandLineOptions options;
  const std::string error = ParseCommandLine(argc, argv, options);
  if (!error.empty()) return Fail(error);
  if (options.Help) {
    std::fputs(UsageText().c_str(), stdout);
    return 0;
  }
  if (options.Version) {
    std::fputs(VersionText, stdout);
    return 0;
  }
  if (!options.Headless) {
#if QUILLON_HAVE_GTK
    if (OpenGtkDisplay()) {
      UseGtkBackend();
      return RunMainWindow(options.File, options.Warp);
    }
#endif
    // No display to open a window on: the run happens without one, and the booted screen is
    // shown as text.
    std::fprintf(stderr, "quillon: no desktop display; running headless\n");
    options.ScreenText = true;
  }
  return RunWithoutWindow(options);
}
