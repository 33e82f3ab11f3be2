// The program's entry: with no arguments (or only a file) the desktop window, with --headless a
// run without a window for automation. Errors in the arguments exit with status 2 before
// anything runs; --help lists the statuses.
#include <csignal>
#include <cstdio>
#include <string>
#include <string_view>

#include "app/program.h"
#include "app/command_line.h"
#include "app/headless_run.h"
#include "session/host_state.h"
#include "files/png_writer.h"
#include "platform/platform.h"
#include "app/window_run.h"
#if QUILLON_HAVE_GTK
#include "backends/gtk/gtk_backend.h"
#endif
#if QUILLON_HAVE_WIN32
#include "backends/win32/win32_backend.h"
#endif
#if QUILLON_HAVE_PULSE
#include "backends/pulse/pulse_sound.h"
#endif
#if QUILLON_HAVE_POSIX
#include "backends/posix/posix_sockets.h"
#endif

namespace {

using namespace quillon;

int Fail(const std::string& message) {
  std::fprintf(stderr, "quillon: %s\n", message.c_str());
  return ExitBadInput;
}

void StopHeadlessRun(int signal) { HeadlessStopSignal = signal; }

int RunWithoutWindow(const CommandLineOptions& options) {
  // Interrupted, a run ends at the next frame and still writes what it was asked for: the
  // WAV file's header, the picture, the screen.
  std::signal(SIGINT, StopHeadlessRun);
  std::signal(SIGTERM, StopHeadlessRun);
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

// Makes this build's desktop backend the platform; false when there is no desktop to open a
// window on.
bool UseDesktopBackend() {
#if QUILLON_HAVE_GTK
  if (!OpenGtkDisplay()) return false;
  UseGtkBackend();
#if QUILLON_HAVE_PULSE
  UsePulseSound();
#endif
  return true;
#elif QUILLON_HAVE_WIN32
  UseWin32Backend();
  return true;
#else
  return false;
#endif
}

// Whether the arguments, read as far as they could be, were meant for the window: no
// --headless among the options.
bool MeantForWindow(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--") break;
    if (argument == "--headless") return false;
  }
  return true;
}

}  // namespace

int quillon::RunProgram(int argc, char** argv, bool errorBox) {
  CommandLineOptions options;
  const std::string error = ParseCommandLine(argc, argv, options);
  if (!error.empty()) {
    Fail(error);
    // The window would have been the program's only voice: a program opened with a file from a
    // file manager has nobody reading its stderr.
    if (errorBox && MeantForWindow(argc, argv) && UseDesktopBackend()) {
      Platform.ShowMessageBox(error.c_str(), "Quillon");
    }
    return ExitBadInput;
  }
  if (options.Help) {
    std::fputs(UsageText().c_str(), stdout);
    return 0;
  }
  if (options.Version) {
    std::fputs(VersionText, stdout);
    return 0;
  }
  if (!options.Headless) {
    if (UseDesktopBackend()) return RunMainWindow(options);
    // No display to open a window on: the run happens without one, and the booted screen is
    // shown as text.
    std::fprintf(stderr, "quillon: no desktop display; running headless\n");
    options.ScreenText = true;
  }
  return RunWithoutWindow(options);
}

// Windows enters through WinMain (app/win_main.cpp).
#if !QUILLON_HAVE_WIN32
int main(int argc, char** argv) {
#if QUILLON_HAVE_POSIX
  quillon::UsePosixSockets();
#endif
  return quillon::RunProgram(argc, argv, true);
}
#endif
