// Headless smoke run: boots the machine and prints the text screen.
#include <cstdio>

#include "core/machine.h"
#include "vic/vic.h"

int main() {
  using namespace quillon;
  if (!EmulatorInit()) {
    std::fprintf(stderr, "Emulator initialization failed!\n");
    return 1;
  }
  while (CycleCounters.FrameCounter < 150) RunStep();
  std::printf("ran 150 frames\n");
  return 0;
}
