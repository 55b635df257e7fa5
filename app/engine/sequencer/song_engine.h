// Records of the MML sequencer: the song object with its events, per-channel
// records, sample tables, sample voices, FM tones and effect definitions, and
// the ten songs that exist for the whole run.
//
// These are plain structures in fixed global tables. The sequencer's tick, the
// MML compiler, the MIDI-input callback and the user interface all read and
// write them directly; only the plug-in slots' event queues are locked.
#ifndef TARVEX_APP_ENGINE_SONG_ENGINE_H
#define TARVEX_APP_ENGINE_SONG_ENGINE_H

#include <array>
#include <cstdint>

struct WaveFile;

// Sizes settled at build time.
constexpr int kSongCount = 10;            // only song 0 is ever compiled
constexpr int kSongTrackCount = 16;       // 0-7 instrument tracks, 8-15 sample tracks
constexpr int kInstrumentTrackCount = 8;  // tracks whose sound comes from slot 0 of the channel
constexpr int kMixerChannelCount = 19;    // 16 tracks, buses 16 and 17, master 18
constexpr int kEffectBusFirst = 16;
constexpr int kMasterChannel = 18;
constexpr int kEventsPerTrack = 10000;
constexpr int kSongVoiceCount = 64;
constexpr int kFmToneCount = 64;
constexpr int kFmToneParamCount = 55;  // 11 channel values + 4 operators x 11
constexpr int kFmOperatorParamCount = 11;
constexpr int kFmEffectDefCount = 32;
constexpr int kFmEffectValueCount = 11;
constexpr int kSampleListSize = 99;
constexpr int kSampleBankSize = 96;
constexpr int kHeldNoteCount = 8;
constexpr int kVolumeSequenceLength = 16;
constexpr int kSongTitleSize = 256;
constexpr int kTicksPerWholeNote = 192;

// Event types of a song track. The dispatch of each is the sequencer's; the
// compiler writes them. Type 0 ends a track.
enum SongEventType : uint32_t {
  kEvEnd = 0,
  kEvTone = 2,
  kEvPan = 5,
  kEvVolumeStep = 6,
  kEvVolumeUp = 7,
  kEvVolumeDown = 8,
  kEvDetune = 10,
  kEvRepeatStart = 11,
  kEvRepeatEnd = 12,
  kEvRepeatExit = 13,
  kEvNoteOn = 14,
  kEvNoteOff = 15,
  kEvRest = 16,
  kEvLoopPoint = 17,
  kEvLoopJump = 18,
  kEvPortamentoStart = 19,
  kEvPortamentoEnd = 20,
  kEvVibratoPeriod = 22,
  kEvVibratoDelay = 23,
  kEvVibratoDepth = 24,
  kEvVolume = 25,
  kEvVolumeSequenceOn = 26,
  kEvVolumeSequenceOff = 27,
  kEvKeyShift = 28,
  kEvFmEffect = 29,
  kEvTempo = 31,
  kEvPanRight = 32,
  kEvPanLeft = 33,
  kEvNop = 34,
};

// One event of a song track (also the layout of the compiler's scratch lists).
struct SongEvent {
  uint32_t type;       // SongEventType; 0 ends the track
  uint32_t tick;       // time from the start of the track, 192 per whole note
  uint8_t dispatched;  // set once the tick has run it; cleared by rewind, stop and loop jumps
  int32_t value;       // the event's argument
  uint8_t articulate;  // 1: the note ends normally; 0: tied or slurred into the next
};
static_assert(sizeof(SongEvent) == 20, "SongEvent is a 20-byte record");

// The per-channel record of a song: sequencing state and the channel strip.
struct SongTrack {
  int32_t tickOffset;                 // added to every event tick; moves by the loop length at each loop jump
  uint8_t endReached;                 // the end event was reached
  uint8_t stopped;                    // set with endReached, and alone by pause
  uint8_t mute;                       // 1 silences note-ons and voice starts
  int32_t currentNote;                // key of the sounding note of an instrument track
  int32_t heldNotes[kHeldNoteCount];  // keys whose note-off is still owed; 0 = free entry
  int32_t defaultLength;              // ticks of a note or rest written without a length
  int32_t volume;                     // 256 = unity
  int32_t pan;                        // 0-127, 64 = centre
  float mixerVolume;                  // channel-strip fader, set by the user interface
  float mixerPan;                     // 0.0 left, 0.5 centre, 1.0 right
  float peakLeft;                     // meters
  float peakRight;
  int32_t eventCursor;    // index of the next event to run
  int32_t tone;           // tone number last selected
  uint8_t fmInstrument;   // slot 0 holds a recognised FM instrument: tones go out as parameters
  int32_t detune;         // pitch-bend offset, 64 units per semitone
  int32_t keyShift;       // semitones added to every key
  int32_t loopPointTick;  // tick of the first loop-point event

  uint8_t portaActive;
  int32_t portaStartKey;   // key shift already added
  int32_t portaTargetKey;  // key shift already added
  int32_t portaDuration;   // ticks
  int32_t portaStartTick;
  int32_t portaBend;        // current bend, bend units
  int32_t portaBaseOffset;  // semitones

  uint8_t vibActive;
  int32_t vibDelay;          // ticks
  int32_t vibQuarterPeriod;  // ticks
  int32_t vibDepth;
  int32_t vibStartTick;
  float vibValue;  // bend units
  int32_t vibLastBendTick;

  uint8_t volSeqActive;
  int32_t volSeq[kVolumeSequenceLength];  // a 0 ends the list
  int32_t volSeqIndex;                    // next value to use

  uint8_t sendOn[2];  // bus 16, bus 17
  float sendLevel[2];

  // The bend last sent to the instrument, detune included (0 after reset, which centres it).
  // Every bend the sequencer sends goes through SendTrackBend, which records it here, so the
  // tick can send a bend only when the sum it wants differs, and so bring the pitch back to
  // the centre when a vibrato, a glide or a slur has ended.
  int32_t sentBend;
  int32_t spare[3];  // unused; keeps the record at its 252-byte size

  void Reset();
};
static_assert(sizeof(SongTrack) == 252, "SongTrack is a 252-byte record");

// A sample voice: one started sample mixed into a track buffer.
struct PcmVoice {
  uint8_t active = 0;
  int32_t sample = 0;    // SoftSound handle in list mode, bank index in bank mode
  int32_t position = 0;  // frames at 44,100 Hz since the voice started
  int32_t length = 0;    // list mode: frames of the SoftSound; bank mode: samples at 15,600 Hz
  int32_t pan = 0;       // 0-127, 64 = centre
  int32_t volume = 0;    // 256 = unity
  int32_t channels = 1;  // 1 plays the left sample on both sides
  int32_t track = 0;     // track buffer the voice is mixed into
};
static_assert(sizeof(PcmVoice) == 32, "PcmVoice is a 32-byte record");

// Tone values a fresh FmTone holds: channel values, then operators 1-4.
constexpr std::array<int32_t, kFmToneParamCount> kDefaultFmTone = {
    2,  7,  15, 0, 0,  0,  0, 0, 0, 3, 0,  // channel
    31, 4,  2,  4, 11, 26, 1, 1, 6, 0, 0,  // operator 1
    31, 0,  0,  4, 0,  47, 1, 8, 0, 2, 0,  // operator 2
    31, 31, 8,  4, 0,  41, 1, 1, 7, 0, 0,  // operator 3
    20, 31, 3,  6, 0,  0,  1, 2, 0, 0, 0,  // operator 4
};

// Full-scale value of each tone parameter: a recognised FM instrument gets
// parameter i as value / full scale i.
constexpr std::array<int32_t, kFmToneParamCount> kFmToneFullScale = {
    7, 7,  15, 3, 3, 1,  255, 127, 127, 7,  3,   31, 31, 31, 15, 15, 127, 3,  15, 99, 3,  3,   31, 31, 31, 15, 15, 127,
    3, 15, 99, 3, 3, 31, 31,  31,  15,  15, 127, 3,  15, 99, 3,  3,  31,  31, 31, 15, 15, 127, 3,  15, 99, 3,  3,
};

// An FM tone. Parameters 0-10 are the channel values; operator k (0-3) holds
// parameters 11 + 11k to 21 + 11k. A fresh record holds the default tone, and
// static tables of tones are complete before any code runs.
struct FmTone {
  uint8_t used = 0;
  std::array<int32_t, kFmToneParamCount> params = kDefaultFmTone;
  int32_t number = 0;
};

// The value a recognised FM instrument receives for tone parameter `index`
// (0-54): value / full scale. An index outside the tone gives 0.
float FmToneParamToPlugin(int index, int32_t value);

// An FM effect definition, written by the MML "(x" form and sent to a
// recognised FM instrument as parameters 58-94.
struct FmEffectDef {
  int32_t kind = 0;   // 0-5
  int32_t first = 0;  // first value
  float values[kFmEffectValueCount] = {};
};

// One entry of a song's sample list (sample mode 0).
struct SongSampleListEntry {
  uint16_t key;    // octave x 12 + semitone
  int32_t handle;  // SoftSound handle
  int32_t frames;  // length in frames
  int32_t channels;
};

// One song of the MML engine.
struct SongEngine {
  SongEngine();

  // Index of the first of the 64 voices that is not active, or -1 when all are.
  int FindFreeVoice() const;
  // Every voice off.
  void StopVoices();
  // The first sample-list entry with `key`, or null.
  const SongSampleListEntry* ListEntryOfKey(int32_t key) const;
  // Index of the first loaded bank record with `key` (bank keys are an octave above the MML
  // key), or -1.
  int BankIndexOfKey(int32_t key) const;

  uint8_t loaded;   // set by the compiler
  uint8_t playing;  // set by the transport and the tick
  uint8_t paused;
  uint8_t ended;
  SongEvent events[kSongTrackCount][kEventsPerTrack];  // each track ends at its first type-0 event
  int32_t tempo;                                       // quarter notes per minute
  float volumeScale;                                   // multiplies every track volume on its way to a plug-in or voice
  uint64_t clockBase;                                  // microseconds; play start from the top, moved later by pauses
  uint64_t pauseStart;                                 // microseconds
  uint64_t lastClock;                                  // microseconds; the reading at the previous tick
  double microsPerTick;
  double tickPosition;                   // song position, 192 ticks per whole note
  SongTrack tracks[kMixerChannelCount];  // 0-15 tracks, 16 and 17 buses, 18 master
  int32_t sampleMode;                    // 0 = sample list, 1 = sample bank
  int32_t listCount;                     // entries of the sample list
  SongSampleListEntry sampleList[kSampleListSize];
  int32_t bankLastIndex;                  // index of the last bank record loaded; -1 = none
  int16_t* bankSamples[kSampleBankSize];  // 16-bit samples at 15,600 Hz
  uint16_t bankKeys[kSampleBankSize];
  int32_t bankLengths[kSampleBankSize];  // samples
  PcmVoice voices[kSongVoiceCount];
  FmTone tones[kFmToneCount];
  FmEffectDef effects[kFmEffectDefCount];
  WaveFile* capture;           // the render target; set by start-up for song 0
  char title[kSongTitleSize];  // set by the ".c" directive
};

// The ten songs, built before the program's entry code runs.
extern SongEngine g_songs[kSongCount];

// Prepares song 0 for a compile: flags, clock, tempo, sample tables, the 16
// song tracks and their events, and the instruments of tracks 0-7. The bank
// buffers are dropped from the table, not released (the sample loader that
// filled them is the one to release them).
void ResetSongEngine();

#endif
