#include "accurate/sid_tables.h"

#include <cmath>
#include <cstdlib>

namespace quillon::accurate {

namespace {

// How a model's analog parts are drawn.
struct ModelParameters {
  // The R-2R ladders: the legs' resistance in units of the series resistors, and whether the
  // LSB end has its 2R termination. The 6581's legs are a little long and the termination is
  // missing, so its steps are uneven and the lowest bit weighs about as much as the next.
  double LegRatio;
  bool Terminated;
  // The waveform DAC's DC at the voice output, scaled by the envelope as the voice is: on the
  // 6581 the output's resting level rises with the envelope, on the 8580 it stays at the
  // mixer's virtual ground.
  double VoiceDc;
  double MixerDc;
  // Combined waveforms: a line that some waveform holds at 1 reads 1 only while the pull of
  // the lines held at 0 stays below the threshold; a low line pulls its neighbours by Reach to
  // the power of their distance.
  double PullReach;
  double PullThreshold;
};

constexpr ModelParameters Parameters[2] = {
    {2.2, false, 0.2, 0.45, 0.6, 0.35},
    {2.0, true, 0.0, 0.01, 0.5, 0.6},
};

// The weight of each input bit at the ladder's MSB end, the output: the ladder folded from its
// LSB end into a source and a resistance node by node, with only the bit in question at 1.
// Normalised so that all bits at 1 give 1.
void LadderWeights(const ModelParameters& model, int bits, double* weights) {
  double total = 0;
  for (int driven = 0; driven < bits; ++driven) {
    double voltage = 0;
    double resistance = 0;  // 0: nothing below the first node yet
    for (int node = 0; node < bits; ++node) {
      const double leg = node == driven ? 1.0 : 0.0;
      if (node == 0 && !model.Terminated) {
        voltage = leg;
        resistance = model.LegRatio;
        continue;
      }
      if (node == 0) {
        resistance = model.LegRatio;  // the termination, to ground
      } else {
        resistance += 1.0;  // the series resistor up to this node
      }
      const double conductance = 1.0 / resistance + 1.0 / model.LegRatio;
      voltage = (voltage / resistance + leg / model.LegRatio) / conductance;
      resistance = 1.0 / conductance;
    }
    weights[driven] = voltage;
    total += voltage;
  }
  for (int bit = 0; bit < bits; ++bit) weights[bit] /= total;
}

double DacLevel(const double* weights, int bits, std::uint32_t value) {
  double level = 0;
  for (int bit = 0; bit < bits; ++bit) {
    if ((value >> bit) & 1) level += weights[bit];
  }
  return level;
}

std::uint16_t PullDown(const ModelParameters& model, std::uint32_t lines) {
  std::uint32_t result = 0;
  for (int bit = 0; bit < 12; ++bit) {
    if (!((lines >> bit) & 1)) continue;
    double pull = 0;
    for (int other = 0; other < 12; ++other) {
      if ((lines >> other) & 1) continue;
      pull += std::pow(model.PullReach, std::abs(other - bit));
    }
    if (pull < model.PullThreshold) result |= 1u << bit;
  }
  return static_cast<std::uint16_t>(result);
}

SidModelTables Build(const ModelParameters& model) {
  SidModelTables tables{};
  double waveWeights[12];
  double envelopeWeights[8];
  LadderWeights(model, 12, waveWeights);
  LadderWeights(model, 8, envelopeWeights);
  for (std::uint32_t value = 0; value < 4096; ++value) {
    tables.Wave[value] = static_cast<float>(DacLevel(waveWeights, 12, value) - 0.5 + model.VoiceDc);
    tables.Combined[value] = PullDown(model, value);
  }
  for (std::uint32_t value = 0; value < 256; ++value) {
    tables.Envelope[value] = static_cast<float>(DacLevel(envelopeWeights, 8, value));
  }
  tables.MixerDc = static_cast<float>(model.MixerDc);
  return tables;
}

}  // namespace

const SidModelTables& TablesFor(SidModel model) {
  static const SidModelTables tables[2] = {Build(Parameters[0]), Build(Parameters[1])};
  return tables[static_cast<int>(model)];
}

}  // namespace quillon::accurate
