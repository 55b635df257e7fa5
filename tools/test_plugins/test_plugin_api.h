// What the test plug-ins record and export, shared by the plug-in source and the tests
// that read it. Every test plug-in DLL keeps a pool of instances in its own memory, so a
// test that holds its own reference to the DLL can read an instance's logs even after
// the host closed the instance and released its reference.
#pragma once

#include <cmath>
#include <cstdint>

#include "app/engine/plugin/vst_abi.h"

const int kTpMaxInstances = 64;
const int kTpParamCount = 100;
const int kTpProgramCount = 3;
const int kTpDispatchLogSize = 2048;
const int kTpMidiLogSize = 512;
const int kTpParamLogSize = 1024;
const int kTpEntryCallCount = 5;
const int kTpUniqueId = 0x54507631;  // 'TPv1'

// The variant without an editor (tp_plain) has these parameters; one of them shows a value
// text longer than the 8 characters a host keeps.
const int kTpPlainParamCount = 4;
const int kTpLongDisplayParam = 3;
#define TP_LONG_DISPLAY_TEXT "Wide open stereo"

// Environment of the plug-ins' process:
//   TARVEX_TP_LOG_DIR     each instance writes <dir>/<dll name>-<serial>.log, one line per
//                         dispatcher call ("dispatch <opcode> <index> <value> <opt>"), MIDI event
//                         ("midi <status> <data1> <data2>", hexadecimal) and setParameter
//                         ("param <index> <value>"); the file starts anew with the instance
//   TARVEX_TP_EDITOR_RECT "left,top,right,bottom": the editor rectangle of the editor variants
//                         (also of the one that otherwise reports no size)

// The editor rectangle the editor variants report unless configured otherwise; one variant
// (tp_kezmir) has an editor and reports no size.
const ERect kTpEditorDefaultRect = {0, 0, 120, 320};  // top, left, bottom, right

// An instrument holding a note outputs these levels on its first two outputs.
const float kTpDcLeft = 0.5f;
const float kTpDcRight = 0.25f;

// The tone variant (tp_tone) plays a sine for each note on its first two outputs: at the key's
// equal-tempered pitch (key 69 is 440 Hz), of peak level kTpToneLevel x velocity / 127, from
// phase 0 at the first frame of the block its note-on came with; a note-off fades it out
// linearly over kTpToneReleaseFrames. It counts its phase at the host's 44,100 Hz.
const float kTpToneLevel = 0.25f;
const int kTpToneReleaseFrames = 882;  // 20 ms
const double kTpToneSampleRate = 44100.0;
inline double TpToneFrequency(int key) { return 440.0 * std::pow(2.0, (key - 69) / 12.0); }

// The numbered variant (tp_numbered) numbers the frames it renders, counting every frame of
// every block from its first: while a note is held, frame n is sin(2 pi n x
// kTpNumberedToneHz / 44100) / 2 on its first output and the ramp (-32768 + 16 x (n mod
// kTpNumberedRampPeriod)) / 32767 on its second, so that a recording tells which of its frames
// each recorded frame is; silence while no note is held. Velocity does not change it.
const int kTpNumberedToneHz = 1000;
const int kTpNumberedRampPeriod = 4093;

struct TpDispatchRecord {
  int32_t opcode;
  int32_t index;
  VstIntPtr value;
  float opt;
  int32_t block;  // process calls made before this request
};

struct TpMidiRecord {
  VstMidiEvent event;  // as received
  int32_t block;       // process calls made before it arrived
  int32_t batch;       // which effProcessEvents call brought it (0, 1, ...)
  int32_t batchSize;   // numEvents of that call
};

struct TpParamRecord {
  int32_t index;
  float value;
};

struct TpHostAnswer {
  int32_t opcode;
  int32_t withEffect;  // 1: asked with the (not yet bound) instance, 0: with a null instance
  VstIntPtr answer;
};

// Shape of the instances created next (TpConfigure); -1 keeps the variant's default.
struct TpConfig {
  int32_t numInputs;
  int32_t numOutputs;
  int32_t hasEditorRect;  // 1: effEditGetRect hands out `rect`; 0: no size; -1: the variant's own
  ERect rect;
  int32_t numParams;
  int32_t numPrograms;
  int32_t slowMs;         // a slow start-up and shut-down: the entry call, effOpen and effClose
                          // each take this long
};

struct TpInstance {
  AEffect effect;
  int32_t used;
  int32_t serial;                  // creation order within the DLL
  int32_t opened;
  int32_t closed;
  audioMasterCallback host;        // saved from the entry call
  float params[kTpParamCount];
  int32_t program;
  int32_t processCalls;
  int32_t lastFrames;
  int32_t oddFrameCalls;           // process calls with a frame count other than 441
  int32_t editorIdles;
  uint8_t keyHeld[128];
  int32_t hasEditorRect;
  ERect rect;
  VstIntPtr openSampleRate;        // host's answers asked from inside effOpen
  VstIntPtr openBlockSize;
  TpHostAnswer entryAnswers[kTpEntryCallCount];  // asked from inside the entry call
  int32_t dispatchTotal;
  TpDispatchRecord dispatchLog[kTpDispatchLogSize];
  int32_t eventBatches;
  int32_t midiTotal;
  TpMidiRecord midiLog[kTpMidiLogSize];
  int32_t paramTotal;
  TpParamRecord paramLog[kTpParamLogSize];
};

// Exports of every test plug-in DLL.
typedef TpInstance*(VST_CALL* TpInstanceAtProc)(int32_t serial);
typedef int32_t(VST_CALL* TpInstanceCountProc)();
typedef VstIntPtr(VST_CALL* TpCallHostProc)(AEffect* effect, int32_t opcode, int32_t index, VstIntPtr value,
                                            void* ptr, float opt);
typedef void(VST_CALL* TpConfigureProc)(const TpConfig* config);  // null: defaults again
