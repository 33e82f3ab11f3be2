// The sound on Windows: waveOut through the wave mapper, which converts our 16-bit mono stream
// to whatever the device plays. Two blocks of a twentieth of a second are queued at the device,
// the one it plays and the next, so that a late tick does not run it dry; with the tick's own
// wait a register write is heard within about 150 ms. The device is opened and fed from the
// sound writer's thread (platform/sound_writer.h), so that neither a driver that is slow to answer
// nor one that stops playing holds up the tick, the emulation or the window.
#include <windows.h>
// After windows.h, which it builds on.
#include <mmsystem.h>

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "platform/sound_platform.h"
#include "platform/sound_writer.h"

namespace quillon::win32 {

constexpr int DeviceBlocks = 2;
// A device that has not finished a block in this time has stopped playing: forty blocks' worth,
// for a driver that is slow to start on a busy machine.
constexpr ULONGLONG StallMilliseconds = 2000;
// While it waits for the device, the writer looks this often whether it is to stop.
constexpr DWORD WaitSliceMilliseconds = 50;

// What a device that has run dry is given ahead of the next block.
constexpr std::int16_t Silence[SoundBlockCapacity] = {};

struct WaveOutState {
  HWAVEOUT Device;
  // Signalled by the driver each time it is done with a block.
  HANDLE BlockDone;
  WAVEHDR Headers[DeviceBlocks];
  std::int16_t Samples[DeviceBlocks][SoundBlockCapacity];
  char Error[MAXERRORLENGTH];
};
WaveOutState WaveOut;

const char* ErrorText(MMRESULT result) {
  if (waveOutGetErrorTextA(result, WaveOut.Error, sizeof WaveOut.Error) != MMSYSERR_NOERROR) {
    return "the sound device failed";
  }
  return WaveOut.Error;
}

// A header the driver does not hold: never written, or done with.
bool HeaderFree(const WAVEHDR& header) {
  return (header.dwFlags & WHDR_PREPARED) == 0 || (header.dwFlags & WHDR_DONE) != 0;
}

WAVEHDR* FreeHeader() {
  for (WAVEHDR& header : WaveOut.Headers) {
    if (HeaderFree(header)) return &header;
  }
  return nullptr;
}

const char* WaveOutOpen(std::uint32_t sampleRate) {
  WaveOut.BlockDone = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (WaveOut.BlockDone == nullptr) return "no event for the sound device";
  WAVEFORMATEX format = {};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = 1;
  format.nSamplesPerSec = sampleRate;
  format.wBitsPerSample = 16;
  format.nBlockAlign = 2;
  format.nAvgBytesPerSec = sampleRate * 2;
  const MMRESULT result =
      waveOutOpen(&WaveOut.Device, WAVE_MAPPER, &format,
                  reinterpret_cast<DWORD_PTR>(WaveOut.BlockDone), 0, CALLBACK_EVENT);
  if (result != MMSYSERR_NOERROR) {
    CloseHandle(WaveOut.BlockDone);
    WaveOut.BlockDone = nullptr;
    return ErrorText(result);
  }
  for (int block = 0; block < DeviceBlocks; ++block) {
    WaveOut.Headers[block] = {};
    WaveOut.Headers[block].lpData = reinterpret_cast<LPSTR>(WaveOut.Samples[block]);
  }
  return nullptr;
}

// Hands the samples to the driver in a free header.
const char* QueueBlock(WAVEHDR& header, const std::int16_t* samples, std::int32_t count) {
  if (header.dwFlags & WHDR_PREPARED) {
    waveOutUnprepareHeader(WaveOut.Device, &header, sizeof header);
  }
  // The writer hands on no more than a block holds.
  std::copy_n(samples, count, reinterpret_cast<std::int16_t*>(header.lpData));
  header.dwBufferLength = static_cast<DWORD>(count) * 2;
  header.dwFlags = 0;
  MMRESULT result = waveOutPrepareHeader(WaveOut.Device, &header, sizeof header);
  if (result == MMSYSERR_NOERROR) result = waveOutWrite(WaveOut.Device, &header, sizeof header);
  return result == MMSYSERR_NOERROR ? nullptr : ErrorText(result);
}

// Waits for the device to finish a block when both are queued, then queues the samples. A
// device that holds no block has just been opened or has run dry: a block of silence as long
// as the samples goes first, so that each tick's block is queued a block ahead of the one
// playing and a tick that comes late finds the device still playing. A writer that is told to
// stop meanwhile lets the samples go.
const char* WaveOutWrite(const std::int16_t* samples, std::int32_t count) {
  if (std::all_of(std::begin(WaveOut.Headers), std::end(WaveOut.Headers), HeaderFree)) {
    if (const char* error = QueueBlock(WaveOut.Headers[0], Silence, count)) return error;
  }
  const ULONGLONG deadline = GetTickCount64() + StallMilliseconds;
  WAVEHDR* header = FreeHeader();
  while (header == nullptr) {
    if (SoundOutputStopRequested()) return nullptr;
    if (GetTickCount64() >= deadline) return "the sound device stopped playing";
    WaitForSingleObject(WaveOut.BlockDone, WaitSliceMilliseconds);
    header = FreeHeader();
  }
  return QueueBlock(*header, samples, count);
}

// Reset hands every queued block back as done; then the headers can be let go.
void WaveOutClose() {
  waveOutReset(WaveOut.Device);
  for (WAVEHDR& header : WaveOut.Headers) {
    if (header.dwFlags & WHDR_PREPARED) {
      waveOutUnprepareHeader(WaveOut.Device, &header, sizeof header);
    }
  }
  waveOutClose(WaveOut.Device);
  WaveOut.Device = nullptr;
  CloseHandle(WaveOut.BlockDone);
  WaveOut.BlockDone = nullptr;
}

}  // namespace quillon::win32
