// The program's heartbeat: start-up, the main loop that drains messages, paces the emulation
// against real time, converts and presents the picture, and the shutdown.
#pragma once

#include <cstdint>
#include <memory>

#include "interface/machine.h"

namespace quillon {

inline constexpr const char* MainWindowClassName = "QuillonWndClass";
inline constexpr const char* MainWindowTitle = "Quillon | win32 | 3rd Public Beta";
inline constexpr std::int32_t InitialWindowWidth = 320;
inline constexpr std::int32_t InitialWindowHeight = 200;
inline constexpr std::uint32_t SoundTimerPeriodMilliseconds = 50;
// One tick of the pacing is a fiftieth of a second, for PAL and NTSC alike.
inline constexpr std::int64_t TicksPerSecond = 50;
inline constexpr std::int32_t MaxCatchUpFrames = 5;
inline constexpr std::uint32_t IdleSleepMilliseconds = 2;

// Powers the machine on and sets up what the shell hears from it: the end of every raster line,
// the held keys, the sound. False when the machine could not start.
bool StartMachine();

// Puts `machine`, already started or loaded, in use in place of the machine in use, between two
// passes: the sound's timer stops around the switch, and the new machine is set up as
// StartMachine sets one up (with the full-screen surface as its picture while that shows).
void SwitchMachine(std::unique_ptr<Machine> machine);

// Switches to a new machine of `model`, powered on, with the video standard and the disk of
// the machine in use.
void SwitchModel(MachineModel model);

// The start-up steps up to and including reading the counter. False when the program must end
// at once; *exitCode then holds its exit code.
bool HostStartUp(void* previousInstance, std::int32_t showCommand, std::int32_t* exitCode);

// Reads the counter's rate and the counter, from which the pacing counts its ticks. A counter
// slower than the ticks it must measure is replaced by the standard library's steady clock.
void StartPacing();

// Hands every waiting message to its window's procedure. False when the quit message came; its
// exit code is then in *exitCode.
bool DeliverPendingMessages(std::int32_t* exitCode);

// One pass of the main loop. Returns -1 when the quit message arrived (its exit code is then in
// *exitCode), otherwise the number of frames emulated in the pass.
std::int32_t MainLoopPass(std::int32_t* exitCode);

// Runs the emulation to the end of one instruction, or into an interrupt handler, then pauses.
void TraceStep();

// Stops the sound timer first, then frees what it might have used.
void HostShutDown();

}  // namespace quillon
