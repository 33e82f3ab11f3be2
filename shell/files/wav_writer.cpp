#include "files/wav_writer.h"

#include "media/utf8_path.h"

namespace quillon {
namespace {

constexpr std::uint32_t HeaderBytes = 44;
constexpr long RiffSizeOffset = 4;
constexpr long DataSizeOffset = 40;
// The chunk sizes are 32-bit: the RIFF chunk holds the rest of the header besides the data.
constexpr std::uint32_t MaxDataBytes = 0xFFFFFFFFu - (HeaderBytes - 8);

// WAV numbers are little-endian whatever the host's order.
void PutLittleEndian(std::uint8_t* out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

bool WriteSizeAt(std::FILE* file, long offset, std::uint32_t value) {
  std::uint8_t bytes[4];
  PutLittleEndian(bytes, value, 4);
  return std::fseek(file, offset, SEEK_SET) == 0 && std::fwrite(bytes, 1, 4, file) == 4;
}

// The two sizes that follow the data, then back to the end for the next block.
bool UpdateSizes(WavWriter& wav) {
  return WriteSizeAt(wav.File, RiffSizeOffset, HeaderBytes - 8 + wav.DataBytes) &&
         WriteSizeAt(wav.File, DataSizeOffset, wav.DataBytes) &&
         std::fseek(wav.File, 0, SEEK_END) == 0 && std::fflush(wav.File) == 0;
}

}  // namespace

bool WavOpen(WavWriter& wav, const std::string& path, std::uint32_t sampleRate) {
  wav = {};
  wav.File = OpenUtf8File(path, "wb");
  if (wav.File == nullptr) return false;
  std::uint8_t header[HeaderBytes] = {'R', 'I', 'F', 'F', 0,   0,   0,   0,
                                      'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
  PutLittleEndian(header + 16, 16, 4);              // the format chunk's size
  PutLittleEndian(header + 20, 1, 2);               // PCM
  PutLittleEndian(header + 22, 1, 2);               // mono
  PutLittleEndian(header + 24, sampleRate, 4);      // samples a second
  PutLittleEndian(header + 28, sampleRate * 2, 4);  // bytes a second
  PutLittleEndian(header + 32, 2, 2);               // bytes a sample
  PutLittleEndian(header + 34, 16, 2);              // bits a sample
  header[36] = 'd';
  header[37] = 'a';
  header[38] = 't';
  header[39] = 'a';
  wav.Failed = std::fwrite(header, 1, HeaderBytes, wav.File) != HeaderBytes || !UpdateSizes(wav);
  if (!wav.Failed) return true;
  std::fclose(wav.File);
  wav.File = nullptr;
  return false;
}

void WavAppend(WavWriter& wav, const std::int16_t* samples, std::int32_t count) {
  if (wav.File == nullptr || wav.Failed) return;
  const std::uint32_t bytes = static_cast<std::uint32_t>(count) * 2;
  if (bytes > MaxDataBytes - wav.DataBytes) {
    wav.Failed = true;
    return;
  }
  // Through a small buffer on the stack: the sound may tick inside the emulation step, where
  // nothing is allocated.
  std::uint8_t buffer[512];
  for (std::int32_t done = 0; done < count;) {
    const std::int32_t chunk = count - done < 256 ? count - done : 256;
    for (std::int32_t i = 0; i < chunk; ++i) {
      PutLittleEndian(buffer + 2 * i, static_cast<std::uint16_t>(samples[done + i]), 2);
    }
    if (std::fwrite(buffer, 2, static_cast<std::size_t>(chunk), wav.File) !=
        static_cast<std::size_t>(chunk)) {
      wav.Failed = true;
      return;
    }
    done += chunk;
  }
  wav.DataBytes += bytes;
  wav.Failed = !UpdateSizes(wav);
}

bool WavClose(WavWriter& wav) {
  if (wav.File == nullptr) return false;
  const bool closed = std::fclose(wav.File) == 0;
  wav.File = nullptr;
  return closed && !wav.Failed;
}

}  // namespace quillon
