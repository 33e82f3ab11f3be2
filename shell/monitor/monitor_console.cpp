#include "monitor/monitor_console.h"

#include <chrono>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "monitor/monitor.h"
#include "monitor/text_monitor.h"
#include "platform/platform.h"

namespace quillon {
namespace {

using Clock = std::chrono::steady_clock;

// A line typed (or piped, or pasted) within this time after the line that let the machine run
// was typed ahead of the run: it waits until the machine stops again, so that a script's "z"
// then "r" shows the registers after the step. A line that comes later, while the machine runs,
// is someone at the terminal wanting it back: it stops the machine.
constexpr auto TypedAhead = std::chrono::milliseconds(100);

struct Line {
  std::string Text;
  Clock::time_point ReadAt;
};

// Shared with the reading thread, which may still wait in a read of standard input when the
// program ends: made once and never freed, so that it outlives everything else.
struct ConsoleInput {
  std::mutex Lock;
  std::deque<Line> Lines;
  bool Ended = false;
  Clock::time_point EndedAt;
};

ConsoleInput& Input() {
  static ConsoleInput* const input = new ConsoleInput;
  return *input;
}

// The emulation thread's own: what the run ends with, the lines read and not yet carried out,
// and when a line of this console last let the machine run.
bool EndRunAtEnd = false;
std::deque<Line> Pending;
bool InputEnded = false;
Clock::time_point EndedAt;
Clock::time_point LetRunAt;

void ReadLines() {
  std::string text;
  char buffer[1024];
  while (std::fgets(buffer, sizeof buffer, stdin) != nullptr) {
    text += buffer;
    if (text.back() != '\n') continue;
    text.pop_back();
    {
      const std::lock_guard lock(Input().Lock);
      Input().Lines.push_back({std::move(text), Clock::now()});
    }
    text.clear();
    MonitorWake();
  }
  {
    const std::lock_guard lock(Input().Lock);
    if (!text.empty()) Input().Lines.push_back({std::move(text), Clock::now()});
    Input().Ended = true;
    Input().EndedAt = Clock::now();
  }
  MonitorWake();
}

// Whether what was read at `readAt` waits for the machine to stop.
bool Waits(Clock::time_point readAt) { return !MonitorHolds() && readAt < LetRunAt + TypedAhead; }

void PrintOutput() {
  std::fputs(TakeTextMonitorOutput().c_str(), stdout);
  if (MonitorHolds()) std::fputs(TextMonitorPrompt().c_str(), stdout);
  std::fflush(stdout);
  // Stopped again: what waited for it goes next.
  if (MonitorHolds() && (!Pending.empty() || InputEnded)) MonitorWake();
}

void TakeLines() {
  {
    const std::lock_guard lock(Input().Lock);
    for (Line& line : Input().Lines) Pending.push_back(std::move(line));
    Input().Lines.clear();
    InputEnded = Input().Ended;
    EndedAt = Input().EndedAt;
  }
  while (!Pending.empty() && !Waits(Pending.front().ReadAt)) {
    const std::string text = std::move(Pending.front().Text);
    Pending.pop_front();
    TextMonitorLine(text);
    if (!MonitorFrontEndAttached(MonitorClient::Text)) return;
    if (!MonitorHolds()) LetRunAt = Clock::now();
  }
  if (!Pending.empty() || !InputEnded || Waits(EndedAt)) return;
  std::fputs("\n", stdout);
  std::fflush(stdout);
  StopMonitorConsole();
  if (EndRunAtEnd) Platform.DestroyMainWindow();
}

}  // namespace

void StartMonitorConsole(bool endRunAtEndOfInput) {
  EndRunAtEnd = endRunAtEndOfInput;
  // One reader for the whole program: standard input is read by one thread only.
  [[maybe_unused]] static const bool reading = [] {
    std::thread(ReadLines).detach();
    return true;
  }();
  AttachTextMonitor(TakeLines, PrintOutput);
}

void StopMonitorConsole() {
  Pending.clear();
  if (MonitorFrontEndAttached(MonitorClient::Text)) DetachTextMonitor();
}

}  // namespace quillon
