// A WAV file of 16-bit mono samples, written block by block as the sound ticks. The header is
// brought up to date after every block, so the file reads whole at any moment, however the
// run that writes it ends.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace quillon {

struct WavWriter {
  std::FILE* File = nullptr;
  std::uint32_t DataBytes = 0;
  // A write went wrong (or the file reached the format's 4 GB): nothing more is written.
  bool Failed = false;
};

// Creates the file with the header of an empty recording at `sampleRate`. False when it
// cannot be written.
bool WavOpen(WavWriter& wav, const std::string& path, std::uint32_t sampleRate);
// Appends the samples and updates the header's sizes.
void WavAppend(WavWriter& wav, const std::int16_t* samples, std::int32_t count);
// Closes the file. False when any write failed.
bool WavClose(WavWriter& wav);

}  // namespace quillon
