// The text monitor: the commands C64 developers know, a line at a time. Numbers are hex ("$" may
// lead them; "+" leads a decimal one), labels stand for their addresses. Memory is shown
// without side effects and written as the processor writes it, in the bank chosen with
// "bank". Its output gathers until taken, so that a terminal prints it and the tests read it:
//
//   r [REGISTER=VALUE ...]        the registers, or set them (A X Y PC SP FL)
//   m [START [END]]               memory, 16 bytes a line
//   d [START [END]]               disassembly
//   a ADDRESS [INSTRUCTION]       assemble, a line at a time, until an empty line
//   > ADDRESS BYTE...             write bytes ("text" writes its characters)
//   f START END BYTE...           fill
//   h START END BYTE...           hunt for the bytes
//   bank [cpu|ram|rom|io]         the bank that m, d, a, >, f, h, l and s use
//   b [START [END]] [if COND]     a breakpoint; alone, the list of checkpoints
//   w [load|store] START [END] [if COND]   a watchpoint (on both when neither is named)
//   until ADDRESS                 a temporary breakpoint, and go
//   del [N] | enable N | disable N | ignore N COUNT | cond N [if] COND
//   z [COUNT] | n [COUNT] | ret   step into, step over subroutines, run until return
//   g [ADDRESS] | x               go (from ADDRESS); leave the monitor as the machine runs on
//   l "FILE" [ADDRESS] | s "FILE" START END   load a program file (at ADDRESS instead of its
//                                 own), save memory as one
//   ll "FILE" | al ADDRESS .NAME  load a label file, name an address
//   screen | reset | quit | help
#pragma once

#include <string>

namespace quillon {

// Attaches the text monitor to the monitor and stops the machine into it. `poll` takes the
// lines that have come in; `written`, when not null, hears that output is waiting.
void AttachTextMonitor(void (*poll)(), void (*written)());
void DetachTextMonitor();

// Carries out a line (stopping the machine first when it runs).
void TextMonitorLine(const std::string& line);
// The output since the last call, stop reports included.
std::string TakeTextMonitorOutput();
// The prompt for the next line: where the machine stands, or where assembly goes on.
std::string TextMonitorPrompt();

}  // namespace quillon
