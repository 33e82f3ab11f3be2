// File > Save snapshot... and Load snapshot...: the machine into a file and back, between two
// passes of the main loop.
#pragma once

#include <cstdint>

namespace quillon {

// The caption of the message box that says why a snapshot could not be saved or loaded.
inline constexpr const char* SnapshotMessageCaption = "Quillon";
inline constexpr const char* SnapshotFileExtension = ".qsn";

// Runs CommandSaveSnapshot or CommandLoadSnapshot.
void SnapshotMenuCommand(std::uint32_t command);

}  // namespace quillon
