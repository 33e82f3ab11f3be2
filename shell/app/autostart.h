// What a run is given to start with, on its way in: a cartridge goes in before the first reset;
// a program file is loaded and started with RUN once BASIC waits for input; a disk image's first
// program is loaded by typing LOAD"*",8,1 once BASIC waits, as a person would, and started with
// RUN once BASIC waits again (a program that starts itself as it loads never sees RUN); and the
// text given to type follows once the start is done.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "keyboard/typed_text.h"

namespace quillon {

struct Autostart {
  // The program file or disk image still to start; empty once it is started, or when there is
  // none.
  std::string File;
  // The text to type once the file is started; empty once it is queued.
  std::vector<TypedKey> Text;
  // A disk image's LOAD"*",8,1 typed ahead: the key queue has typed it whole once it has
  // applied this many events; 0 before it is typed.
  std::uint64_t LoadTypedAt;
  // RUN follows the load; without, the program is only loaded.
  bool Run;
};

// Attaches `disk`, when not empty, as drive 8's image, and `file` as what it is: a cartridge
// for the first reset, or a program file or disk image (attached now) to start. `text` follows
// the start. A disk image to start that holds no program LOAD"*",8 could load is attached but
// not started: `error` then says why.
Autostart AttachStartFile(const std::string& file, const std::string& disk,
                          std::vector<TypedKey> text, std::string& error);

// Lends the monitor a way to start files in this run (`start` its state, null when the run
// ends): its autostart starts one as the command line's file starts.
void LendAutostartToMonitor(Autostart* start);

// The work after every pass of a run's loop that ran `frames` frames: the start's next step
// once BASIC waits for input, then the typing queue.
void FinishPass(std::int32_t frames, Autostart& start);

}  // namespace quillon
