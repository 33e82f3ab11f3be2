// The text monitor on the terminal that started the program: a thread of its own reads standard
// input a line at a time and hands the lines over; the emulation thread carries them out between
// two runs and prints what they say, and the prompt while the machine is held, on standard
// output. Lines typed ahead of one that lets the machine run (a script, a paste) wait until it
// stops; a line typed while it runs stops it. The end of the input ends a headless run; in the
// window it only leaves the monitor.
#pragma once

namespace quillon {

// Attaches the text monitor, which stops the machine into it, and starts reading.
void StartMonitorConsole(bool endRunAtEndOfInput);
// Detaches the text monitor. A read under way is left to finish on its own.
void StopMonitorConsole();

}  // namespace quillon
