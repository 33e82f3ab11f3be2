#include "monitor/monitor_console.h"

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

// Shared with the reading thread, which may still wait in a read of standard input when the
// program ends: made once and never freed, so that it outlives everything else.
struct ConsoleInput {
  std::mutex Lock;
  std::deque<std::string> Lines;
  bool Ended = false;
};

ConsoleInput& Input() {
  static ConsoleInput* const input = new ConsoleInput;
  return *input;
}

bool EndRunAtEnd = false;

// The emulation thread's own: lines read and not yet carried out, and whether they wait for the
// machine to stop. Lines that came together with one that let the machine run (typed ahead,
// pasted, a script) wait until it stops again, so that "z" then "r" shows the registers after
// the step; a line that comes while the machine runs stops it.
std::deque<std::string> Pending;
bool InputEnded = false;
bool WaitForStop = false;

void ReadLines() {
  std::string line;
  char buffer[1024];
  while (std::fgets(buffer, sizeof buffer, stdin) != nullptr) {
    line += buffer;
    if (line.back() != '\n') continue;
    line.pop_back();
    {
      const std::lock_guard lock(Input().Lock);
      Input().Lines.push_back(std::move(line));
    }
    line.clear();
    MonitorWake();
  }
  {
    const std::lock_guard lock(Input().Lock);
    if (!line.empty()) Input().Lines.push_back(std::move(line));
    Input().Ended = true;
  }
  MonitorWake();
}

void PrintOutput() {
  std::fputs(TakeTextMonitorOutput().c_str(), stdout);
  if (MonitorHolds()) std::fputs(TextMonitorPrompt().c_str(), stdout);
  std::fflush(stdout);
  // Stopped again: the lines that waited for it go next.
  if (WaitForStop && MonitorHolds()) MonitorWake();
}

void TakeLines() {
  {
    const std::lock_guard lock(Input().Lock);
    for (std::string& line : Input().Lines) Pending.push_back(std::move(line));
    Input().Lines.clear();
    InputEnded = Input().Ended;
  }
  if (WaitForStop && !MonitorHolds()) return;
  WaitForStop = false;
  while (!Pending.empty()) {
    const std::string line = std::move(Pending.front());
    Pending.pop_front();
    TextMonitorLine(line);
    if (!MonitorFrontEndAttached(MonitorClient::Text)) return;
    if (!MonitorHolds() && (!Pending.empty() || InputEnded)) {
      WaitForStop = true;
      return;
    }
  }
  if (!InputEnded) return;
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
  WaitForStop = false;
  if (MonitorFrontEndAttached(MonitorClient::Text)) DetachTextMonitor();
}

}  // namespace quillon
