// OKI 4-bit ADPCM decoder of the ".pdx" banks and the "zpd" sample banks.
#ifndef TARVEX_APP_ENGINE_ADPCM_H
#define TARVEX_APP_ENGINE_ADPCM_H

#include <cstdint>

constexpr int kAdpcmStepCount = 49;

// Width of the predictor. The banks are encoded for the sound chip's 12-bit
// decoder: a sample that reaches the edge of the range must stop there, or it
// drifts off centre for the rest of its length. The output is the predictor
// x 16, so at this width the output clamp never acts.
constexpr int kAdpcmPredictorBits = 12;

struct AdpcmDecoder {
  int32_t diffTable[kAdpcmStepCount][16];  // difference by step index and 4-bit code
  uint8_t bitWidth = kAdpcmPredictorBits;  // the predictor is clamped to this width
  int32_t predictor = -2;
  int32_t stepIndex = 0;  // 0-48

  // Builds the difference table.
  void Init();
  // Decodes `count` codes, two to a byte, low nibble first, into `count`
  // 16-bit samples. Every call starts from predictor -2 and step index 0.
  void Decode(const uint8_t* in, uint32_t count, int16_t* out);
};

// Sample-rate change of the ADPCM banks: 15,600 Hz recordings play at 44,100 Hz.
constexpr double kAdpcmStretch = 2.826923076923077;  // 44100 / 15600

// Samples that `count` samples at 15,600 Hz become at 44,100 Hz.
uint32_t AdpcmStretchedLength(uint32_t count);
// Stretches by repeating the nearest earlier sample; `out` holds
// AdpcmStretchedLength(count) samples.
void AdpcmStretch(const int16_t* in, uint32_t count, int16_t* out);

#endif
