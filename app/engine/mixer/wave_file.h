// The one WAV render object: a canonical 44-byte-header RIFF WAVE file of
// 16-bit stereo PCM at 44100 Hz, captured frame by frame from the engines'
// render ticks and written by the render dialog.
#ifndef TARVEX_APP_ENGINE_WAVE_FILE_H
#define TARVEX_APP_ENGINE_WAVE_FILE_H

#include <cstdint>

struct WaveFile {
  char riffWave[8];          // "RIFFWAVE": the RIFF tag and the form type
  char fmtData[8];           // "fmt data": the two chunk tags
  uint32_t riffSize;         // filled by Write
  uint32_t fmtSize;          // 16
  uint16_t formatTag;        // 1 = PCM
  uint16_t channelCount;     // 2
  uint32_t sampleRateField;  // filled by Write
  uint32_t byteRate;         // filled by Write
  uint16_t blockAlign;       // filled by Write
  uint16_t bitsField;        // filled by Write
  uint32_t dataSize;         // filled by Write
  uint8_t armed;             // capture on; the render tick clears it when the buffers are full
  int32_t captureIndex;      // next frame to fill
  int32_t sampleRate;        // 44100
  int32_t bits;              // 16
  int32_t frameCount;        // capacity of the buffers
  int16_t* left;             // one entry per frame; null until allocated
  int16_t* right;

  // The initial state: tags, PCM stereo 16-bit 44100 Hz, no buffers, capture off.
  void InitHeader();
  // Allocates zero-filled buffers for `seconds` of sound and keeps the frame
  // count. False (the earlier buffers kept) when the size is 0, does not fit,
  // or an allocation fails. Does not arm the capture.
  bool AllocBuffers(uint32_t seconds);
  // One output frame from a render tick: stored while armed; the capture
  // disarms itself when the buffers are full.
  void Capture(int16_t leftValue, int16_t rightValue);
  // Fills in the header and writes the file: the whole buffer, frames not
  // yet captured being silence. False when the file cannot be created or
  // written; nothing is left behind for a file that could not be created.
  bool Write(const char* path);
  // Releases the buffers (at exit, or before a new render).
  void FreeBuffers();
};

// The render object, built before the program's main function runs.
extern WaveFile g_waveFile;

constexpr int kWaveHeaderBytes = 44;

#endif
