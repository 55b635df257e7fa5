// A VST 2 plug-in for the host's tests, built as several DLLs (see CMakeLists.txt):
//   TP_INSTRUMENT        an instrument: a constant level on its outputs while a note is held;
//                        otherwise an effect: out = in * g + c, g = parameter 0, c = parameter 1
//   TP_TONE              with TP_INSTRUMENT: a sine for each note in place of the constant level
//                        (test_plugin_api.h says how it sounds)
//   TP_NUMBERED          with TP_INSTRUMENT: a signal that numbers its frames in place of the
//                        constant level (test_plugin_api.h says how it sounds)
//   TP_EDITOR_NO_SIZE    an editor that reports no size (others report kTpEditorDefaultRect)
//   TP_NAME              the effect name it reports (may be empty)
//   TP_ENTRY_MAIN        exports only "main"; TP_ENTRY_NONE exports no entry point
//   TP_NO_EDITOR         no editor of its own (flag bit 0 clear) and kTpPlainParamCount parameters
//   TP_FILE              the DLL's name, for the log files
//   TP_HOSTILE_*         the misbehaviours of real plug-ins the host must survive
// Every instance records every dispatcher request, every MIDI event with the block it
// arrived in, and every parameter write, for the tests to read through the exports, and
// writes them to a log file when asked (test_plugin_api.h).
#include <windows.h>

#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <thread>

#include "tools/test_plugins/test_plugin_api.h"

#define TP_STRINGIFY2(x) #x
#define TP_STRINGIFY(x) TP_STRINGIFY2(x)

namespace {

const char kEffectName[] = TP_STRINGIFY(TP_NAME);
const char kFileName[] = TP_STRINGIFY(TP_FILE);
const char* const kProgramNames[kTpProgramCount] = {"Init", "Bright", nullptr};  // the last is refused

// A sounding note of the tone variant.
struct ToneVoice {
  int32_t key;         // 0-127; -1: the voice is free
  float level;         // peak level, from the velocity
  int64_t frame;       // frames played since the note began: its phase
  int32_t releaseLeft; // frames of the fade still to play after the note-off; -1: held
};

const int kToneVoices = 16;

struct TestPluginState {
  TpInstance instances[kTpMaxInstances];  // the pool; a closed instance is reused last
  ToneVoice voices[kTpMaxInstances][kToneVoices];  // by pool entry: the tone variant's notes
  int32_t created;                        // instances created so far
  TpConfig config;                        // shape of the next instances
  char logPaths[kTpMaxInstances][MAX_PATH];  // by pool entry; empty: no log
  HWND editors[kTpMaxInstances];             // by pool entry: the open editor's window
  int64_t renderedFrames[kTpMaxInstances];   // by pool entry: the numbered variant's frames so far
};

TestPluginState g_tp;

TpConfig DefaultConfig() {
  TpConfig c;
  c.numInputs = -1;
  c.numOutputs = -1;
  c.hasEditorRect = -1;
  c.rect.top = c.rect.left = c.rect.bottom = c.rect.right = 0;
  c.numParams = -1;
  c.numPrograms = -1;
  c.slowMs = 0;
#ifndef TP_NO_EDITOR
  char rect[64];
  int left, top, right, bottom;
  DWORD n = GetEnvironmentVariableA("TARVEX_TP_EDITOR_RECT", rect, sizeof rect);
  if (n > 0 && n < sizeof rect && std::sscanf(rect, "%d,%d,%d,%d", &left, &top, &right, &bottom) == 4) {
    c.hasEditorRect = 1;
    c.rect.left = static_cast<int16_t>(left);
    c.rect.top = static_cast<int16_t>(top);
    c.rect.right = static_cast<int16_t>(right);
    c.rect.bottom = static_cast<int16_t>(bottom);
  }
#endif
  return c;
}

int PoolIndex(const TpInstance* t) { return static_cast<int>(t - g_tp.instances); }

// Whether an instance of this variant has an editor rectangle when the configuration leaves it
// to the variant (-1), and which.
void ApplyEditorRect(TpInstance* t, const TpConfig& config) {
  if (config.hasEditorRect != -1) {
    t->hasEditorRect = config.hasEditorRect;
    t->rect = config.rect;
    return;
  }
#if defined(TP_NO_EDITOR) || defined(TP_EDITOR_NO_SIZE)
  t->hasEditorRect = 0;
#else
  t->hasEditorRect = 1;
  t->rect = kTpEditorDefaultRect;
#endif
}

#ifdef TP_TONE
// The tone variant's notes: a note-on starts (or restarts) its key's voice from phase 0 at the
// first frame of the next block; a note-off lets it fade.
void StartTone(TpInstance* t, int key, int velocity) {
  ToneVoice* voices = g_tp.voices[PoolIndex(t)];
  ToneVoice* chosen = nullptr;
  for (int v = 0; v < kToneVoices && !chosen; ++v)
    if (voices[v].key == key) chosen = &voices[v];
  for (int v = 0; v < kToneVoices && !chosen; ++v)
    if (voices[v].key < 0) chosen = &voices[v];
  if (!chosen) chosen = &voices[0];  // all sounding: the first gives way
  *chosen = ToneVoice{key, kTpToneLevel * static_cast<float>(velocity) / 127.0f, 0, -1};
}

void ReleaseTone(TpInstance* t, int key) {
  for (ToneVoice& voice : g_tp.voices[PoolIndex(t)])
    if (voice.key == key && voice.releaseLeft < 0) voice.releaseLeft = kTpToneReleaseFrames;
}

// Adds the sounding voices into the first two outputs (both carry the same signal).
void RenderTones(TpInstance* t, float** outputs, int outputCount, int frames) {
  for (int c = 0; c < outputCount; ++c)
    for (int i = 0; i < frames; ++i) outputs[c][i] = 0.0f;
  if (outputCount < 1) return;
  for (ToneVoice& voice : g_tp.voices[PoolIndex(t)]) {
    if (voice.key < 0) continue;
    const double step = 2.0 * M_PI * TpToneFrequency(voice.key) / kTpToneSampleRate;
    for (int i = 0; i < frames; ++i) {
      float gain = voice.level;
      if (voice.releaseLeft >= 0) {
        if (voice.releaseLeft == 0) {
          voice.key = -1;
          break;
        }
        gain *= static_cast<float>(voice.releaseLeft--) / kTpToneReleaseFrames;
      }
      const float s = gain * static_cast<float>(std::sin(step * static_cast<double>(voice.frame++)));
      outputs[0][i] += s;
      if (outputCount > 1) outputs[1][i] += s;
    }
  }
}
#endif

#ifdef TP_NUMBERED
// Frame n of the instance, counted over every block since its first, whether a note is held
// or not: a tone whose phase and a ramp whose level tell n.
void RenderNumbered(TpInstance* t, float** outputs, int outputCount, int frames) {
  bool held = false;
  for (int k = 0; k < 128; ++k) held = held || t->keyHeld[k];
  int64_t& n = g_tp.renderedFrames[PoolIndex(t)];
  const double step = 2.0 * M_PI * kTpNumberedToneHz / kTpToneSampleRate;
  for (int i = 0; i < frames; ++i, ++n) {
    const float tone = static_cast<float>(0.5 * std::sin(step * static_cast<double>(n % 44100)));
    const float ramp = static_cast<float>((-32768 + 16 * (n % kTpNumberedRampPeriod)) / 32767.0);
    for (int c = 0; c < outputCount; ++c) outputs[c][i] = !held ? 0.0f : c == 0 ? tone : c == 1 ? ramp : 0.0f;
  }
}
#endif

// The instance's log starts anew when logging is asked for.
void StartLog(TpInstance* t) {
  char* path = g_tp.logPaths[PoolIndex(t)];
  path[0] = 0;
  char dir[MAX_PATH];
  DWORD n = GetEnvironmentVariableA("TARVEX_TP_LOG_DIR", dir, sizeof dir);
  if (n == 0 || n >= sizeof dir) return;
  std::snprintf(path, MAX_PATH, "%s\\%s-%d.log", dir, kFileName, static_cast<int>(t->serial));
  if (FILE* f = std::fopen(path, "w")) std::fclose(f);
}

void LogLine(const TpInstance* t, const char* format, ...) {
  const char* path = g_tp.logPaths[PoolIndex(t)];
  if (!path[0]) return;
  FILE* f = std::fopen(path, "a");
  if (!f) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(f, format, args);
  va_end(args);
  std::fputc('\n', f);
  std::fclose(f);
}

// The editor: a plain child window of the editor rectangle's size in the host's window.
void OpenEditor(TpInstance* t, void* parent) {
#ifdef TP_NO_EDITOR
  (void)t;
  (void)parent;
#else
  HWND& editor = g_tp.editors[PoolIndex(t)];
  if (!t->hasEditorRect || !parent || editor) return;
  editor = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, t->rect.left, t->rect.top,
                           t->rect.right - t->rect.left, t->rect.bottom - t->rect.top,
                           static_cast<HWND>(parent), nullptr, nullptr, nullptr);
#endif
}

void CloseEditor(TpInstance* t) {
  HWND& editor = g_tp.editors[PoolIndex(t)];
  if (editor && IsWindow(editor)) DestroyWindow(editor);
  editor = nullptr;
}

// What a plug-in that loads samples or builds tables at start-up (and frees them at the end)
// costs its host.
void TakeLong() {
  if (g_tp.config.slowMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(g_tp.config.slowMs));
}

TpInstance* FromEffect(AEffect* e) { return e ? static_cast<TpInstance*>(e->object) : nullptr; }

// Writes an answer text the way a careless plug-in does: the whole text, however long.
void WriteText(void* ptr, const char* text) {
  if (!ptr) return;
#ifdef TP_HOSTILE_LONG_TEXT
  (void)text;
  char* out = static_cast<char*>(ptr);
  for (int i = 0; i < 300; ++i) out[i] = static_cast<char>('A' + i % 26);
  out[300] = 0;
#else
  std::strcpy(static_cast<char*>(ptr), text);
#endif
}

void RecordMidi(TpInstance* t, const VstEvents* events) {
  if (!events) return;
  for (int32_t i = 0; i < events->numEvents; ++i) {
    const VstEvent* ev = events->events[i];
    if (!ev || ev->type != kVstMidiType) continue;
    const VstMidiEvent* m = reinterpret_cast<const VstMidiEvent*>(ev);
    if (t->midiTotal < kTpMidiLogSize) {
      TpMidiRecord& r = t->midiLog[t->midiTotal];
      r.event = *m;
      r.block = t->processCalls;
      r.batch = t->eventBatches;
      r.batchSize = events->numEvents;
    }
    ++t->midiTotal;
    LogLine(t, "midi %02X %02X %02X", static_cast<unsigned char>(m->midiData[0]),
            static_cast<unsigned char>(m->midiData[1]), static_cast<unsigned char>(m->midiData[2]));
    unsigned status = static_cast<unsigned char>(m->midiData[0]) & 0xF0;
    unsigned key = static_cast<unsigned char>(m->midiData[1]) & 0x7F;
    unsigned velocity = static_cast<unsigned char>(m->midiData[2]);
    if (status == 0x90 && velocity > 0) {
      t->keyHeld[key] = 1;
#ifdef TP_TONE
      StartTone(t, static_cast<int>(key), static_cast<int>(velocity));
#endif
    }
    if (status == 0x80 || (status == 0x90 && velocity == 0)) {
      t->keyHeld[key] = 0;
#ifdef TP_TONE
      ReleaseTone(t, static_cast<int>(key));
#endif
    }
  }
  ++t->eventBatches;
}

VstIntPtr VST_CALL Dispatcher(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  TpInstance* t = FromEffect(e);
  if (!t) return 0;
  if (t->dispatchTotal < kTpDispatchLogSize) {
    TpDispatchRecord& r = t->dispatchLog[t->dispatchTotal];
    r.opcode = opcode;
    r.index = index;
    r.value = value;
    r.opt = opt;
    r.block = t->processCalls;
  }
  ++t->dispatchTotal;
  LogLine(t, "dispatch %d %d %ld %g", static_cast<int>(opcode), static_cast<int>(index),
          static_cast<long>(value), static_cast<double>(opt));
  char text[64];
  switch (opcode) {
    case effOpen:
      TakeLong();
      t->opened = 1;
      // The host binds the instance before opening it: these must be its real answers.
      t->openSampleRate = t->host(e, audioMasterGetSampleRate, 0, 0, nullptr, 0.0f);
      t->openBlockSize = t->host(e, audioMasterGetBlockSize, 0, 0, nullptr, 0.0f);
      return 0;
    case effClose:
      TakeLong();
      t->closed = 1;
      return 0;
    case effSetProgram:
      t->program = static_cast<int32_t>(value);
      return 0;
    case effGetProgram:
      return t->program;
    case effGetProgramNameIndexed:
      if (index < 0 || index >= kTpProgramCount || !kProgramNames[index]) return 0;
      WriteText(ptr, kProgramNames[index]);
      return 1;
    case effGetParamLabel:
      WriteText(ptr, "dB");
      return 0;
    case effGetParamDisplay:
#ifdef TP_NO_EDITOR
      if (index == kTpLongDisplayParam) {
        WriteText(ptr, TP_LONG_DISPLAY_TEXT);
        return 0;
      }
#endif
      std::snprintf(text, sizeof text, "%d", index >= 0 && index < kTpParamCount ? (int)(t->params[index] * 100) : 0);
      WriteText(ptr, text);
      return 0;
    case effGetParamName:
      // Longer than the nominal 8 characters, as many real plug-ins write.
      std::snprintf(text, sizeof text, "Parameter%d", index);
      WriteText(ptr, text);
      return 0;
    case effGetEffectName:
      WriteText(ptr, kEffectName);
      return 1;
    case effEditGetRect:
      if (!t->hasEditorRect || !ptr) return 0;
      *static_cast<ERect**>(ptr) = &t->rect;
      return 1;
    case effEditOpen:
      OpenEditor(t, ptr);
      return t->hasEditorRect;
    case effEditClose:
      CloseEditor(t);
      return 0;
    case effEditIdle:
      ++t->editorIdles;
      return 0;
    case effProcessEvents:
      RecordMidi(t, static_cast<const VstEvents*>(ptr));
      return 1;
    default:
      return 0;
  }
}

#ifndef TP_HOSTILE_NO_REPLACING
void VST_CALL ProcessReplacing(AEffect* e, float** inputs, float** outputs, VstInt32 frames) {
  TpInstance* t = FromEffect(e);
  if (!t) return;
  ++t->processCalls;
  t->lastFrames = frames;
  if (frames != 441) ++t->oddFrameCalls;
#if defined(TP_INSTRUMENT) && defined(TP_TONE)
  (void)inputs;
  RenderTones(t, outputs, e->numOutputs, frames);
#elif defined(TP_INSTRUMENT) && defined(TP_NUMBERED)
  (void)inputs;
  RenderNumbered(t, outputs, e->numOutputs, frames);
#elif defined(TP_INSTRUMENT)
  (void)inputs;
  bool held = false;
  for (int k = 0; k < 128; ++k) held = held || t->keyHeld[k];
  for (int c = 0; c < e->numOutputs; ++c) {
    float level = !held ? 0.0f : c == 0 ? kTpDcLeft : c == 1 ? kTpDcRight : 0.0f;
    for (int i = 0; i < frames; ++i) outputs[c][i] = level;
  }
#else
  float g = t->params[0];
  float offset = t->params[1];
  int channels = e->numInputs < e->numOutputs ? e->numInputs : e->numOutputs;
  for (int c = 0; c < channels; ++c)
    for (int i = 0; i < frames; ++i) outputs[c][i] = inputs[c][i] * g + offset;
  for (int c = channels; c < e->numOutputs; ++c)
    for (int i = 0; i < frames; ++i) outputs[c][i] = 0.0f;
#endif
}

void VST_CALL SetParameter(AEffect* e, VstInt32 index, float value) {
  TpInstance* t = FromEffect(e);
  if (!t) return;
  if (t->paramTotal < kTpParamLogSize) {
    t->paramLog[t->paramTotal].index = index;
    t->paramLog[t->paramTotal].value = value;
  }
  ++t->paramTotal;
  LogLine(t, "param %d %g", static_cast<int>(index), static_cast<double>(value));
  if (index >= 0 && index < kTpParamCount) t->params[index] = value;
}

float VST_CALL GetParameter(AEffect* e, VstInt32 index) {
  TpInstance* t = FromEffect(e);
  return t && index >= 0 && index < kTpParamCount ? t->params[index] : 0.0f;
}
#endif

TpInstance* NewInstance() {
  TpInstance* t = nullptr;
  for (int i = 0; i < kTpMaxInstances && !t; ++i)
    if (!g_tp.instances[i].used) t = &g_tp.instances[i];
  for (int i = 0; i < kTpMaxInstances && !t; ++i)
    if (g_tp.instances[i].closed) t = &g_tp.instances[i];
  if (!t) return nullptr;
  std::memset(t, 0, sizeof *t);
  t->used = 1;
  t->serial = g_tp.created++;
  ApplyEditorRect(t, g_tp.config);
  g_tp.editors[PoolIndex(t)] = nullptr;
  g_tp.renderedFrames[PoolIndex(t)] = 0;
  for (ToneVoice& voice : g_tp.voices[PoolIndex(t)]) voice.key = -1;
  StartLog(t);
#ifndef TP_INSTRUMENT
  t->params[0] = 1.0f;  // unity gain, no offset until a test sets them
#endif

  AEffect& e = t->effect;
#ifdef TP_HOSTILE_BAD_MAGIC
  e.magic = 0x56737458;  // 'VstX'
#else
  e.magic = kEffectMagic;
#endif
  e.dispatcher = Dispatcher;
#ifndef TP_HOSTILE_NO_REPLACING
  e.setParameter = SetParameter;
  e.getParameter = GetParameter;
  e.processReplacing = ProcessReplacing;
#endif
  e.numPrograms = kTpProgramCount;
  e.numParams = kTpParamCount;
#ifdef TP_INSTRUMENT
  e.numInputs = 0;
  e.flags = effFlagsCanReplacing | effFlagsIsSynth | effFlagsHasEditor;
#else
  e.numInputs = 2;
  e.flags = effFlagsCanReplacing | effFlagsHasEditor;
#endif
#ifdef TP_NO_EDITOR
  e.flags &= ~effFlagsHasEditor;
  e.numParams = kTpPlainParamCount;
#endif
  e.numOutputs = 2;
  if (g_tp.config.numInputs != -1) e.numInputs = g_tp.config.numInputs;
  if (g_tp.config.numOutputs != -1) e.numOutputs = g_tp.config.numOutputs;
  if (g_tp.config.numParams != -1) e.numParams = g_tp.config.numParams;
  if (g_tp.config.numPrograms != -1) e.numPrograms = g_tp.config.numPrograms;
  e.object = t;
  e.uniqueID = kTpUniqueId;
  e.version = 1;
  return t;
}

[[maybe_unused]] AEffect* Entry(audioMasterCallback host) {
  TakeLong();
  TpInstance* t = NewInstance();
  if (!t) return nullptr;
  t->host = host;
  // What real plug-ins ask before the host has the instance: first with no instance,
  // then with their own, not yet bound one.
  struct Ask {
    int32_t opcode;
    int32_t withEffect;
  };
  const Ask asks[kTpEntryCallCount] = {{audioMasterVersion, 0},
                                       {audioMasterGetTime, 0},
                                       {audioMasterVersion, 1},
                                       {audioMasterGetSampleRate, 1},
                                       {audioMasterGetTime, 1}};
  for (int i = 0; i < kTpEntryCallCount; ++i) {
    t->entryAnswers[i].opcode = asks[i].opcode;
    t->entryAnswers[i].withEffect = asks[i].withEffect;
    t->entryAnswers[i].answer = host(asks[i].withEffect ? &t->effect : nullptr, asks[i].opcode, 0, 0, nullptr, 0.0f);
  }
#if defined(TP_HOSTILE_NULL_INSTANCE)
  t->closed = 1;
  return nullptr;
#elif defined(TP_HOSTILE_WILD_INSTANCE)
  t->closed = 1;
  return reinterpret_cast<AEffect*>(static_cast<uintptr_t>(0x10));  // no memory there
#else
  return &t->effect;
#endif
}

}  // namespace

#if defined(TP_ENTRY_MAIN)
// Older plug-ins export their entry as "main". The assembler name keeps the compiler from
// treating this function as a program's main; the export is asked of the linker directly.
extern "C" AEffect* VST_CALL TpMainEntry(audioMasterCallback host) __asm__("_main");
extern "C" AEffect* VST_CALL TpMainEntry(audioMasterCallback host) { return Entry(host); }
__asm__(".section .drectve\n\t.ascii \" -export:main\"\n\t.text");
#elif !defined(TP_ENTRY_NONE)
extern "C" __declspec(dllexport) AEffect* VST_CALL VSTPluginMain(audioMasterCallback host) { return Entry(host); }
#endif

extern "C" __declspec(dllexport) TpInstance* VST_CALL TpInstanceAt(int32_t serial) {
  for (int i = 0; i < kTpMaxInstances; ++i)
    if (g_tp.instances[i].used && g_tp.instances[i].serial == serial) return &g_tp.instances[i];
  return nullptr;
}

extern "C" __declspec(dllexport) int32_t VST_CALL TpInstanceCount() { return g_tp.created; }

extern "C" __declspec(dllexport) VstIntPtr VST_CALL TpCallHost(AEffect* effect, int32_t opcode, int32_t index,
                                                               VstIntPtr value, void* ptr, float opt) {
  TpInstance* t = FromEffect(effect);
  if (!t || !t->host) return 0;
  return t->host(effect, opcode, index, value, ptr, opt);
}

extern "C" __declspec(dllexport) void VST_CALL TpConfigure(const TpConfig* config) {
  g_tp.config = config ? *config : DefaultConfig();
}

namespace {
struct ConfigDefaults {
  ConfigDefaults() { g_tp.config = DefaultConfig(); }
} g_configDefaults;
}  // namespace
