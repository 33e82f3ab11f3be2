// The instruction trace log: one line for every instruction the processor fetches, written
// through a buffer to a file or to standard output, for people who compare runs or look for
// where a program went wrong. A line holds the step of the fetch (CycleCounters.Clock), the
// address, the instruction's bytes, its disassembly as the trace view shows it, and A, X, Y, P
// and SP as the instruction finds them:
//
//          0  FCE2  A2 FF     LDX #$FF     A:00 X:00 Y:00 P:30 SP:FF
#pragma once

#include <string>

namespace quillon {

// Starts the log into the file at `path` ("-" for standard output), replacing the file. Returns
// an empty string, or a line that says why the file cannot be written.
std::string TraceLogOpen(const std::string& path);

// Writes what is buffered, stops logging and closes the file. Returns an empty string, or a line
// that says that the log could not be written whole.
std::string TraceLogClose();

// The line for the instruction at the program counter, without its line break, as the log
// writes it for the present state.
std::string TraceLogLine();

}  // namespace quillon
