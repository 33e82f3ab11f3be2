// Reads a WAV file of 16-bit mono samples and prints its pitch in Hz and its loudness (root
// mean square), or one line on stderr and status 1 when it is no such file.
//   usage: wav_tone FILE
#include <cstdio>

#include "support/sound.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: wav_tone FILE\n");
    return 2;
  }
  const quillon::test::WavContents wav = quillon::test::ReadWav(argv[1]);
  if (!wav.Error.empty()) {
    std::fprintf(stderr, "wav_tone: %s: %s\n", argv[1], wav.Error.c_str());
    return 1;
  }
  const std::size_t size = wav.Samples.size();
  std::printf("%.1f %.0f\n", quillon::test::Pitch(wav.Samples, wav.SampleRate, 0, size),
              quillon::test::Loudness(wav.Samples, 0, size));
  return 0;
}
