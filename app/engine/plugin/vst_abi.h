// Our own declaration of the VST 2.4 plug-in ABI as 32-bit Windows plug-ins expect it.
// Written from the public layout facts of the interface; every size and offset that a
// plug-in relies on is locked below with static_assert, so a packing or type mistake
// fails the build instead of corrupting a plug-in's memory at run time.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define VST_CALL __cdecl
#else
#define VST_CALL
#endif

typedef int32_t VstInt32;
typedef intptr_t VstIntPtr;  // pointer-sized: 32 bits on i686

struct AEffect;

typedef VstIntPtr(VST_CALL* audioMasterCallback)(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                                 void* ptr, float opt);
typedef VstIntPtr(VST_CALL* AEffectDispatcherProc)(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                                   void* ptr, float opt);
typedef void(VST_CALL* AEffectProcessProc)(AEffect* effect, float** inputs, float** outputs, VstInt32 sampleFrames);
typedef void(VST_CALL* AEffectProcessDoubleProc)(AEffect* effect, double** inputs, double** outputs,
                                                 VstInt32 sampleFrames);
typedef void(VST_CALL* AEffectSetParameterProc)(AEffect* effect, VstInt32 index, float parameter);
typedef float(VST_CALL* AEffectGetParameterProc)(AEffect* effect, VstInt32 index);

// The exported entry point, "VSTPluginMain" (or "main" in older plug-ins).
typedef AEffect*(VST_CALL* VstPluginMainProc)(audioMasterCallback host);

const VstInt32 kEffectMagic = 0x56737450;  // 'VstP'

enum VstAEffectFlags : VstInt32 {
  effFlagsHasEditor = 1 << 0,
  effFlagsCanReplacing = 1 << 4,
  effFlagsProgramChunks = 1 << 5,
  effFlagsIsSynth = 1 << 8,
  effFlagsNoSoundInStop = 1 << 9,
  effFlagsCanDoubleReplacing = 1 << 12,
};

struct AEffect {
  VstInt32 magic;                                   // kEffectMagic
  AEffectDispatcherProc dispatcher;                 // every request goes through here
  AEffectProcessProc process;                       // old accumulating process, never called
  AEffectSetParameterProc setParameter;             // may be null in broken plug-ins
  AEffectGetParameterProc getParameter;             // may be null in broken plug-ins
  VstInt32 numPrograms;                             // number of programs
  VstInt32 numParams;                               // number of parameters
  VstInt32 numInputs;                               // audio inputs
  VstInt32 numOutputs;                              // audio outputs
  VstInt32 flags;                                   // VstAEffectFlags
  VstIntPtr resvd1;                                 // reserved for the host, 0
  VstIntPtr resvd2;                                 // reserved for the host, 0
  VstInt32 initialDelay;                            // latency in samples
  VstInt32 realQualities;                           // unused
  VstInt32 offQualities;                            // unused
  float ioRatio;                                    // unused
  void* object;                                     // the plug-in's own object
  void* user;                                       // the host's: our PluginSlot
  VstInt32 uniqueID;                                // plug-in identifier
  VstInt32 version;                                 // plug-in version
  AEffectProcessProc processReplacing;              // the process call we use
  AEffectProcessDoubleProc processDoubleReplacing;  // never called
  char future[56];                                  // reserved, zero
};

// Effect opcodes: requests the host sends through AEffect::dispatcher.
enum AEffectOpcodes : VstInt32 {
  effOpen = 0,
  effClose = 1,
  effSetProgram = 2,
  effGetProgram = 3,
  effSetProgramName = 4,
  effGetProgramName = 5,
  effGetParamLabel = 6,
  effGetParamDisplay = 7,
  effGetParamName = 8,
  effSetSampleRate = 10,
  effSetBlockSize = 11,
  effMainsChanged = 12,
  effEditGetRect = 13,  // ptr is ERect**
  effEditOpen = 14,
  effEditClose = 15,
  effEditIdle = 19,
  effGetChunk = 23,
  effSetChunk = 24,
  effProcessEvents = 25,  // ptr is VstEvents*
  effGetProgramNameIndexed = 29,
  effGetEffectName = 45,
  effGetVendorString = 47,
  effGetProductString = 48,
  effGetVendorVersion = 49,
  effCanDo = 51,
  effGetVstVersion = 58,
  effStartProcess = 71,
  effStopProcess = 72,
};

// Host opcodes: requests a plug-in sends through the host callback.
enum AudioMasterOpcodes : VstInt32 {
  audioMasterAutomate = 0,
  audioMasterVersion = 1,
  audioMasterCurrentId = 2,
  audioMasterIdle = 3,
  audioMasterGetTime = 7,
  audioMasterProcessEvents = 8,
  audioMasterIOChanged = 13,
  audioMasterSizeWindow = 15,
  audioMasterGetSampleRate = 16,
  audioMasterGetBlockSize = 17,
  audioMasterGetInputLatency = 18,
  audioMasterGetOutputLatency = 19,
  audioMasterGetCurrentProcessLevel = 23,
  audioMasterGetAutomationState = 24,
  audioMasterGetVendorString = 32,
  audioMasterGetProductString = 33,
  audioMasterGetVendorVersion = 34,
  audioMasterVendorSpecific = 35,
  audioMasterCanDo = 37,
  audioMasterGetLanguage = 38,
  audioMasterGetDirectory = 41,
  audioMasterUpdateDisplay = 42,
};

// Nominal text limits of the interface (characters, without the terminator).
const int kVstMaxProgNameLen = 24;
const int kVstMaxParamStrLen = 8;
const int kVstMaxEffectNameLen = 32;

const VstInt32 kVstMidiType = 1;
const VstInt32 kVstMidiEventIsRealtime = 1;

struct VstEvent {
  VstInt32 type;         // kVstMidiType, ...
  VstInt32 byteSize;     // size of the whole event record
  VstInt32 deltaFrames;  // offset into the block
  VstInt32 flags;        // type-specific
  char data[16];         // type-specific
};

struct VstMidiEvent {
  VstInt32 type;         // kVstMidiType
  VstInt32 byteSize;     // 32
  VstInt32 deltaFrames;  // offset into the block
  VstInt32 flags;        // kVstMidiEventIsRealtime
  VstInt32 noteLength;   // 0
  VstInt32 noteOffset;   // 0
  char midiData[4];      // status, data 1, data 2, 0
  char detune;           // cents, -64..63
  char noteOffVelocity;  // release velocity
  char reserved1;        // 0
  char reserved2;        // 0
};

// The plug-in sees `events` as an array of numEvents pointers; the record is allocated
// with room for as many as needed beyond the two declared here.
struct VstEvents {
  VstInt32 numEvents;   // entries used in events
  VstIntPtr reserved;   // 0
  VstEvent* events[2];  // variable length
};

enum VstTimeInfoFlags : VstInt32 {
  kVstTransportChanged = 1,
  kVstTransportPlaying = 1 << 1,
  kVstTransportCycleActive = 1 << 2,
  kVstTransportRecording = 1 << 3,
  kVstAutomationWriting = 1 << 6,
  kVstAutomationReading = 1 << 7,
  kVstNanosValid = 1 << 8,
  kVstPpqPosValid = 1 << 9,
  kVstTempoValid = 1 << 10,
  kVstBarsValid = 1 << 11,
  kVstCyclePosValid = 1 << 12,
  kVstTimeSigValid = 1 << 13,
  kVstSmpteValid = 1 << 14,
  kVstClockValid = 1 << 15,
};

struct VstTimeInfo {
  double samplePos;             // position in samples
  double sampleRate;            // current sample rate
  double nanoSeconds;           // system time
  double ppqPos;                // position in quarter notes
  double tempo;                 // beats per minute
  double barStartPos;           // last bar start in quarter notes
  double cycleStartPos;         // loop start in quarter notes
  double cycleEndPos;           // loop end in quarter notes
  VstInt32 timeSigNumerator;    // time signature
  VstInt32 timeSigDenominator;  // time signature
  VstInt32 smpteOffset;         // unused here
  VstInt32 smpteFrameRate;      // unused here
  VstInt32 samplesToNextClock;  // unused here
  VstInt32 flags;               // VstTimeInfoFlags
};

struct ERect {
  int16_t top;
  int16_t left;
  int16_t bottom;
  int16_t right;
};

// --- layout locks ---------------------------------------------------------------------
static_assert(sizeof(VstMidiEvent) == 32, "VstMidiEvent is 32 bytes");
static_assert(offsetof(VstMidiEvent, type) == 0, "VstMidiEvent layout");
static_assert(offsetof(VstMidiEvent, byteSize) == 4, "VstMidiEvent layout");
static_assert(offsetof(VstMidiEvent, deltaFrames) == 8, "VstMidiEvent layout");
static_assert(offsetof(VstMidiEvent, flags) == 12, "VstMidiEvent layout");
static_assert(offsetof(VstMidiEvent, noteLength) == 16, "VstMidiEvent layout");
static_assert(offsetof(VstMidiEvent, noteOffset) == 20, "VstMidiEvent layout");
static_assert(offsetof(VstMidiEvent, midiData) == 24, "VstMidiEvent layout");
static_assert(offsetof(VstMidiEvent, detune) == 28, "VstMidiEvent layout");
static_assert(offsetof(VstMidiEvent, noteOffVelocity) == 29, "VstMidiEvent layout");
static_assert(offsetof(VstMidiEvent, reserved1) == 30, "VstMidiEvent layout");
static_assert(offsetof(VstMidiEvent, reserved2) == 31, "VstMidiEvent layout");
static_assert(sizeof(VstEvent) == 32, "VstEvent is 32 bytes");
static_assert(sizeof(ERect) == 8, "ERect is four int16");
static_assert(offsetof(ERect, top) == 0 && offsetof(ERect, left) == 2 && offsetof(ERect, bottom) == 4 &&
                  offsetof(ERect, right) == 6,
              "ERect layout");
static_assert(offsetof(VstTimeInfo, samplePos) == 0, "VstTimeInfo layout");
static_assert(offsetof(VstTimeInfo, sampleRate) == 8, "VstTimeInfo layout");
static_assert(offsetof(VstTimeInfo, nanoSeconds) == 16, "VstTimeInfo layout");
static_assert(offsetof(VstTimeInfo, ppqPos) == 24, "VstTimeInfo layout");
static_assert(offsetof(VstTimeInfo, tempo) == 32, "VstTimeInfo layout");
static_assert(offsetof(VstTimeInfo, barStartPos) == 40, "VstTimeInfo layout");
static_assert(offsetof(VstTimeInfo, cycleStartPos) == 48, "VstTimeInfo layout");
static_assert(offsetof(VstTimeInfo, cycleEndPos) == 56, "VstTimeInfo layout");
static_assert(offsetof(VstTimeInfo, timeSigNumerator) == 64, "VstTimeInfo layout");
static_assert(offsetof(VstTimeInfo, timeSigDenominator) == 68, "VstTimeInfo layout");
static_assert(offsetof(VstTimeInfo, smpteOffset) == 72, "VstTimeInfo layout");
static_assert(offsetof(VstTimeInfo, smpteFrameRate) == 76, "VstTimeInfo layout");
static_assert(offsetof(VstTimeInfo, samplesToNextClock) == 80, "VstTimeInfo layout");
static_assert(offsetof(VstTimeInfo, flags) == 84, "VstTimeInfo layout");
static_assert(sizeof(VstTimeInfo) == 88, "VstTimeInfo is 88 bytes");

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(VstIntPtr) == 4, "VstIntPtr is 32 bits on i686");
static_assert(sizeof(AEffect) == 144, "AEffect is 144 bytes on i686");
static_assert(offsetof(AEffect, magic) == 0, "AEffect layout");
static_assert(offsetof(AEffect, dispatcher) == 4, "AEffect layout");
static_assert(offsetof(AEffect, process) == 8, "AEffect layout");
static_assert(offsetof(AEffect, setParameter) == 12, "AEffect layout");
static_assert(offsetof(AEffect, getParameter) == 16, "AEffect layout");
static_assert(offsetof(AEffect, numPrograms) == 20, "AEffect layout");
static_assert(offsetof(AEffect, numParams) == 24, "AEffect layout");
static_assert(offsetof(AEffect, numInputs) == 28, "AEffect layout");
static_assert(offsetof(AEffect, numOutputs) == 32, "AEffect layout");
static_assert(offsetof(AEffect, flags) == 36, "AEffect layout");
static_assert(offsetof(AEffect, resvd1) == 40, "AEffect layout");
static_assert(offsetof(AEffect, resvd2) == 44, "AEffect layout");
static_assert(offsetof(AEffect, initialDelay) == 48, "AEffect layout");
static_assert(offsetof(AEffect, realQualities) == 52, "AEffect layout");
static_assert(offsetof(AEffect, offQualities) == 56, "AEffect layout");
static_assert(offsetof(AEffect, ioRatio) == 60, "AEffect layout");
static_assert(offsetof(AEffect, object) == 64, "AEffect layout");
static_assert(offsetof(AEffect, user) == 68, "AEffect layout");
static_assert(offsetof(AEffect, uniqueID) == 72, "AEffect layout");
static_assert(offsetof(AEffect, version) == 76, "AEffect layout");
static_assert(offsetof(AEffect, processReplacing) == 80, "AEffect layout");
static_assert(offsetof(AEffect, processDoubleReplacing) == 84, "AEffect layout");
static_assert(offsetof(AEffect, future) == 88, "AEffect layout");
static_assert(sizeof(VstEvents) == 16, "VstEvents is 16 bytes with two entries");
static_assert(offsetof(VstEvents, events) == 8, "VstEvents layout");
#endif
