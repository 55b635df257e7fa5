// The MML compiler: lexers, notes and lengths, chords, ties, tuplets, parameters, tones, effect
// definitions, portamento, directives, and the limits that keep any text bounded.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "app/engine/mml/mml_compile.h"
#include "app/engine/mml/mml_compile_internal.h"
#include "tests/app/engine/mml_test_support.h"

namespace {

using V = std::vector<MmlEv>;

SongEngine &Song() { return g_songs[0]; }

// ---- lexers ---------------------------------------------------------------------------------

struct LexCase {
  const char *text;
  int expected;
  int left;  // bytes the lexer must leave unread
};

template <typename F>
void RunLexCases(const char *what, const std::vector<LexCase> &cases, F lex) {
  for (const LexCase &c : cases) {
    MmlReader rd;
    MmlReaderInit(&rd, c.text, strlen(c.text));
    EXPECT_EQ(lex(&rd), c.expected) << what << " of \"" << c.text << "\"";
    EXPECT_EQ(rd.Size - rd.Pos, static_cast<size_t>(c.left)) << what << " of \"" << c.text << "\"";
  }
}

TEST(MmlLexers, NumbersReadThreeDigitsAndPutBackTheEnd) {
  RunLexCases("ReadMmlNumber",
              {{"", 0, 0}, {"x", 0, 1}, {"7", 7, 0}, {"12,", 12, 1}, {"999", 999, 0},
               {"1234", 123, 1}, {"007a", 7, 1}},
              ReadMmlNumber);
  RunLexCases("ReadMmlNumberOrNone",
              {{"", -1, 0}, {",", -1, 1}, {"12", 12, 0}, {"1234", 4, 0}, {"123456,", 456, 1},
               {"0", 0, 0}},
              ReadMmlNumberOrNone);
}

TEST(MmlLexers, LengthsWithDotsStarsAndTies) {
  auto len = [](MmlReader *rd) { return ReadMmlLength(rd, 48); };
  RunLexCases("ReadMmlLength",
              {{"4", 48, 0}, {"4.", 72, 0}, {"4..", 84, 0}, {"4...", 90, 0}, {"4....", 90, 1},
               {"*30", 30, 0}, {"*30.", 30, 1}, {"", 48, 0}, {".", 72, 0}, {"..", 72, 1},
               {"0.", 72, 0}, {"0", 48, 0}, {"3", 64, 0}, {"193", 0, 0}, {"1", 192, 0}},
              len);
  auto tied = [](MmlReader *rd) { return ReadMmlTiedLength(rd, 48); };
  RunLexCases("ReadMmlTiedLength",
              {{"4^8", 72, 0}, {"4^8^16", 84, 0}, {"4^8^16^2", 84, 2}, {"*0", 48, 0},
               {"193", 48, 0}, {"^", 96, 0}},
              tied);
}

TEST(MmlLexers, LengthsStayBoundedWhateverIsWritten) {
  // "l^^" read from the longest default would triple it; the length stops at the limit.
  MmlReader rd;
  MmlReaderInit(&rd, "^^", 2);
  EXPECT_EQ(ReadMmlTiedLength(&rd, kMmlMaxLength), kMmlMaxLength);
}

TEST(MmlLexers, NoteNamesWrapWithinTheOctave) {
  struct Case {
    int letter;
    const char *after;
    int semitone;
  } cases[] = {{'a', "", 9}, {'B', "", 11}, {'c', "", 0}, {'d', "", 2}, {'e', "", 4},
               {'F', "", 5}, {'g', "", 7}, {'c', "-", 11}, {'b', "+", 0}, {'b', "#", 0},
               {'e', "x", 4}};
  for (const Case &c : cases) {
    MmlReader rd;
    MmlReaderInit(&rd, c.after, strlen(c.after));
    EXPECT_EQ(ReadMmlNoteName(&rd, c.letter), c.semitone) << char(c.letter) << c.after;
  }
}

TEST(MmlLexers, SignedFieldsOfParenthesisedLists) {
  RunLexCases("ReadMmlSignedNumber",
              {{",", -1, 0}, {"12,3", 12, 1}, {" -5 ,", -5, 0}, {"5-,", -5, 0}, {"-,", 1, 0},
               {"x,", -1, 0}, {"7)", 7, 1}, {")", -1, 1}, {"3\r\n4", 3, 2}, {"1234,", 4, 0},
               {"9 / note\r\n8,", 9, 2}, {"/ note\n8,", 8, 0}, {"", -1, 0}, {"-", 1, 0}},
              ReadMmlSignedNumber);
}

TEST(MmlLexers, FFEndsTheTextAndPutBackAtTheEndIsHarmless) {
  const char text[] = "ab\xFF" "cd";
  MmlReader rd;
  MmlReaderInit(&rd, text, 5);
  EXPECT_EQ(rd.Size, 2u);
  EXPECT_EQ(MmlGetChar(&rd), 'a');
  EXPECT_EQ(MmlGetChar(&rd), 'b');
  EXPECT_EQ(MmlGetChar(&rd), kMmlEnd);
  MmlPutBack(&rd, kMmlEnd);
  EXPECT_EQ(MmlGetChar(&rd), kMmlEnd);
  SkipPastByte(&rd, 'z');
  EXPECT_EQ(rd.Pos, 2u);
}

// ---- notes, rests, lengths, gates ----------------------------------------------------------

TEST(MmlNotes, LengthsOfNotes) {
  struct Case {
    const char *text;
    uint32_t length;
  } cases[] = {{"l8 c", 24}, {"c4.", 72}, {"c4..", 84}, {"c4...", 90}, {"c*30", 30},
               {"c4^8", 72}, {"l. c", 72}, {"c", 48}, {"@l20 c", 20}, {"c1", 192}};
  for (const Case &c : cases) {
    CompileMmlText(c.text);
    V ev = MmlTrackEvents(0);
    ASSERT_EQ(ev.size(), 2u) << c.text;
    EXPECT_EQ(ev[1], (MmlEv{kEvNoteOff, c.length, 48})) << c.text;
  }
}

TEST(MmlNotes, GateModesPlaceTheNoteOff) {
  struct Case {
    const char *text;
    uint32_t offTick;
  } cases[] = {{"c4", 48}, {"q4 c4", 24}, {"q0 c4", 0}, {"q9 c4", 48}, {"@q6 c4", 42},
               {"@q60 c4", 0}, {"q3 c8", 9}};
  for (const Case &c : cases) {
    CompileMmlText(c.text);
    V ev = MmlTrackEvents(0);
    ASSERT_EQ(ev.size(), 2u) << c.text;
    EXPECT_EQ(ev[1].tick, c.offTick) << c.text;
  }
  // Later notes still start where the earlier note's length ends, whatever its gate.
  CompileMmlText("@q60 c4 d4");
  EXPECT_EQ(MmlTrackEvents(0)[2], (MmlEv{kEvNoteOn, 48, 50}));
}

TEST(MmlNotes, KeysFollowOctaveAccidentalsAndTrack) {
  CompileMmlText("c c- b+ o2 e o9 c o0 c < c > > c");
  V on = MmlTrackEventsOfType(0, {kEvNoteOn});
  std::vector<int> keys;
  for (const MmlEv &e : on) keys.push_back(e.value);
  EXPECT_EQ(keys, (std::vector<int>{48, 59, 48, 28, 84, 0, 12, -12}));

  CompileMmlText(".o r\r\n< c");  // octave reversal swaps "<" and ">"
  EXPECT_EQ(MmlTrackEvents(0)[0].value, 36);

  // Tracks 13-16 start at octave 0 with gate 0.
  CompileMmlText("(t13) c4 (t12) c4");
  EXPECT_EQ(MmlTrackEvents(12), (V{{kEvNoteOn, 0, 0}, {kEvNoteOff, 0, 0}}));
  EXPECT_EQ(MmlTrackEvents(11), (V{{kEvNoteOn, 0, 48}, {kEvNoteOff, 48, 48}}));
}

TEST(MmlNotes, RestsAndSequence) {
  CompileMmlText("c4 r8 d");
  EXPECT_EQ(MmlTrackEvents(0), (V{{kEvNoteOn, 0, 48},
                                  {kEvNoteOff, 48, 48},
                                  {kEvRest, 48, 0},
                                  {kEvNoteOff, 72, 0},
                                  {kEvNoteOn, 72, 50},
                                  {kEvNoteOff, 120, 50}}));
}

// ---- chords and ties ------------------------------------------------------------------------

TEST(MmlChords, NotesStartTogetherAndEndAfterTheChord) {
  CompileMmlText("'ceg4' c");
  EXPECT_EQ(MmlTrackEvents(0), (V{{kEvNoteOn, 0, 48},
                                  {kEvNoteOn, 0, 52},
                                  {kEvNoteOn, 0, 55},
                                  {kEvNoteOff, 48, 48},
                                  {kEvNoteOff, 48, 52},
                                  {kEvNoteOff, 48, 55},
                                  {kEvNoteOn, 48, 48},
                                  {kEvNoteOff, 96, 48}}));
  // The octave returns to its value at the chord's start; the tick grows by the last note.
  CompileMmlText("'c2 < e8' d");
  V on = MmlTrackEventsOfType(0, {kEvNoteOn});
  EXPECT_EQ(on[1].value, 64);
  EXPECT_EQ(on[2], (MmlEv{kEvNoteOn, 24, 50}));
}

TEST(MmlChords, AChordHoldsSixteenNotes) {
  CompileMmlText("'cdefgabcdefgabcdefgab' r");
  EXPECT_EQ(MmlTrackEventsOfType(0, {kEvNoteOn}).size(), 16u);
  EXPECT_EQ(MmlTrackEventsOfType(0, {kEvNoteOff}).size(), 17u);  // 16 notes and the rest
  EXPECT_EQ(MmlTrackEventsOfType(0, {kEvRest})[0].tick, 48u);
}

TEST(MmlChords, AChordLeftOpenAtTheEndStillEndsItsNotes) {
  CompileMmlText("'ce");
  EXPECT_EQ(MmlTrackEventsOfType(0, {kEvNoteOff}).size(), 2u);
}

TEST(MmlTies, SlurDropsTheNoteOffAndClearsArticulate) {
  CompileMmlText("c4 & d4");
  EXPECT_EQ(MmlTrackEvents(0), (V{{kEvNoteOn, 0, 48, 0}, {kEvNoteOn, 48, 50}, {kEvNoteOff, 96, 50}}));
  // Everything after the last note-on goes, not only its note-off.
  CompileMmlText("c4 v5 & d4");
  EXPECT_EQ(MmlTrackEvents(0)[1], (MmlEv{kEvNoteOn, 48, 50}));
  // Nothing to slur from: nothing happens.
  CompileMmlText("v3 & c");
  EXPECT_EQ(MmlTrackEvents(0), (V{{kEvVolumeStep, 0, 3}, {kEvNoteOn, 0, 48}, {kEvNoteOff, 48, 48}}));
}

TEST(MmlTies, TieAfterAChordMergesTheSameKeys) {
  CompileMmlText("'ce4' & c4");
  EXPECT_EQ(MmlTrackEvents(0), (V{{kEvNoteOn, 0, 48},
                                  {kEvNoteOn, 0, 52},
                                  {kEvNop, 48, 48},
                                  {kEvNoteOff, 48, 52},
                                  {kEvNop, 48, 48},
                                  {kEvNoteOff, 96, 48}}));
  // Chord into chord: each note of the second chord merges with its key in the first.
  CompileMmlText("'ce4' & 'cg4' d");
  V ev = MmlTrackEvents(0);
  EXPECT_EQ(ev[2].type, kEvNop);         // c's note-off of the first chord
  EXPECT_EQ(ev[3].type, kEvNoteOff);     // e ends
  EXPECT_EQ(ev[4].type, kEvNop);         // the second chord's c
  EXPECT_EQ(ev[5].type, kEvNoteOn);      // g starts
  EXPECT_EQ(ev[8], (MmlEv{kEvNoteOn, 96, 50}));
}

TEST(MmlTies, PortamentoEndBeforeAmpersandKeepsSounding) {
  CompileMmlText("(c4,d) & e");
  EXPECT_EQ(MmlTrackEvents(0)[1], (MmlEv{kEvPortamentoEnd, 48, 50, 0}));
}

// ---- tuplets --------------------------------------------------------------------------------

TEST(MmlTuplets, TotalLengthIsSharedOut) {
  struct Case {
    const char *text;
    std::vector<uint32_t> onTicks;
  } cases[] = {{"{ccc}4 c", {0, 16, 32, 48}},
               {"{ccccc}4 c", {0, 10, 20, 30, 40, 48}},
               {"{ccr}4 c", {0, 16, 48}},   // the rest ends the tuplet; c has its own length
               {"{c2 c2 c2}8 c", {0, 8, 16, 24}},
               {"{}4 c c", {0, 48}},        // no letter: no tuplet
               {"{c-c+}2 c", {0, 48, 96}}};
  for (const Case &c : cases) {
    CompileMmlText(c.text);
    std::vector<uint32_t> ticks;
    for (const MmlEv &e : MmlTrackEventsOfType(0, {kEvNoteOn})) ticks.push_back(e.tick);
    EXPECT_EQ(ticks, c.onTicks) << c.text;
  }
}

TEST(MmlTuplets, AnUnclosedBraceStopsTheTrackOnly) {
  CompileMmlText("c4 (t2) d4 (t1) { e4 f4 (t2) g4");
  EXPECT_EQ(MmlTrackEventsOfType(0, {kEvNoteOn}).size(), 1u);
  EXPECT_EQ(MmlTrackEventsOfType(1, {kEvNoteOn}).size(), 2u);
  EXPECT_EQ(Song().loaded, 1);
}

// ---- parameters -----------------------------------------------------------------------------

TEST(MmlParameters, TempoIsClampedAndRelative) {
  CompileMmlText("t150 t+200 t-500 t10 @t200 t+10 @t256 @t300 @t0 t");
  std::vector<int> tempos;
  for (const MmlEv &e : MmlTrackEventsOfType(0, {kEvTempo})) tempos.push_back(e.value);
  EXPECT_EQ(tempos, (std::vector<int>{150, 300, 30, 30, 87, 97, 300, 30, 30, 30}));
}

TEST(MmlParameters, OneEventPerCommand) {
  struct Case {
    const char *text;
    MmlEv event;
  } cases[] = {
      {"v12", {kEvVolumeStep, 0, 12}},   {"V20", {kEvVolumeStep, 0, 20}},
      {"~3", {kEvVolumeUp, 0, 3}},       {"~", {kEvVolumeUp, 0, 1}},
      {"_4", {kEvVolumeDown, 0, 4}},     {"k5", {kEvKeyShift, 0, 5}},
      {"k-5", {kEvKeyShift, 0, -5}},     {"k+5", {kEvKeyShift, 0, 0}},
      {"p1", {kEvPan, 0, 0}},            {"p2", {kEvPan, 0, 127}},
      {"p3", {kEvPan, 0, 64}},           {"p9", {kEvPan, 0, 64}},
      {"p0", {kEvPan, 0, 0}},            {"@12", {kEvTone, 0, 12}},
      {"@", {kEvTone, 0, 0}},            {"@x", {kEvTone, 0, 0}},
      {"@v100", {kEvVolume, 0, 100}},    {"@m40", {kEvVibratoDepth, 0, 40}},
      {"@h12,5", {kEvVibratoDelay, 0, 12}}, {"@s9", {kEvVibratoPeriod, 0, 9}},
      {"@e3", {kEvFmEffect, 0, 3}},      {"@k-32", {kEvDetune, 0, -32}},
      {"@K16", {kEvDetune, 0, 16}},      {"@p-5", {kEvPanLeft, 0, -5}},
      {"@p-", {kEvPanLeft, 0, -1}},      {"@p+", {kEvPanRight, 0, 1}},
      {"@P+7", {kEvPanRight, 0, 7}},     {"@p200", {kEvPan, 0, 127}},
      {"z", {kEvVolumeSequenceOff, 0, 0}}, {"[d]", {kEvLoopPoint, 0, 0}},
  };
  for (const Case &c : cases) {
    CompileMmlText(c.text);
    EXPECT_EQ(MmlTrackEvents(0), (V{c.event})) << c.text;
  }
}

TEST(MmlParameters, IgnoredAndRefusedCommandsWriteNothing) {
  for (const char *text : {"s5,3", "@r5 @f2 @R1 @F9", "q4 @q3 o3 l8 @l9", ".C", ".S", "[x",
                           ":x", "@e32", "@e999", "/ c d e\r\n", "1234 ]) )"}) {
    CompileMmlText(text);
    EXPECT_EQ(MmlTrackEvents(0), V{}) << text;
  }
}

TEST(MmlParameters, VolumeUpAndDownRepeatTheTracksLastAmount) {
  CompileMmlText("~ _5 ~ _ (t13) ~ (t1) ~");
  std::vector<int> values;
  for (const MmlEv &e : MmlTrackEvents(0)) values.push_back(e.value);
  EXPECT_EQ(values, (std::vector<int>{1, 5, 5, 5, 5}));
  EXPECT_EQ(MmlTrackEvents(12)[0].value, 0);  // tracks 13-16 start with amount 0
}

TEST(MmlParameters, VolumeSequenceReplacesTheWholeList) {
  CompileMmlText("z10,20,30,40,50 c z5,,7 c");
  EXPECT_EQ(MmlTrackEventsOfType(0, {kEvVolumeSequenceOn}),
            (V{{kEvVolumeSequenceOn, 0, 5}, {kEvVolumeSequenceOn, 48, 3}}));
  const int32_t *seq = Song().tracks[0].volSeq;
  EXPECT_EQ(std::vector<int>(seq, seq + 5), (std::vector<int>{5, -1, 7, 0, 0}));

  CompileMmlText("z1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18");
  EXPECT_EQ(MmlTrackEvents(0)[0].value, 16);
  EXPECT_EQ(Song().tracks[0].volSeq[15], 16);
}

TEST(MmlParameters, RepeatAndLoopMarkers) {
  CompileMmlText("|:5 [d] c |9 c :| [l]");
  V ev = MmlTrackEvents(0);
  // The repeat is expanded; the markers left are the loop point and the loop jump.
  EXPECT_EQ(MmlTrackEventsOfType(0, {kEvLoopPoint}).size(), 5u);
  EXPECT_EQ(MmlTrackEventsOfType(0, {kEvLoopJump}).size(), 1u);
  EXPECT_EQ(MmlTrackEventsOfType(0, {kEvRepeatStart, kEvRepeatEnd, kEvRepeatExit}).size(), 0u);
  EXPECT_EQ(MmlTrackEventsOfType(0, {kEvNoteOn}).size(), 9u);
  EXPECT_EQ(Song().tracks[0].loopPointTick, 0);
}

TEST(MmlLoops, ZeroLengthLoopJumpIsDropped) {
  // The jump falls on the loop point's tick: played, it would jump back by no time at all.
  for (const char *text : {"c [d] [l]", "c [d] v5 [l]", "[d] [l] c", "c [d] |: :| [l]"}) {
    CompileMmlText(text);
    EXPECT_EQ(MmlTrackEventsOfType(0, {kEvLoopJump}).size(), 0u) << text;
  }
  CompileMmlText("c [d] d [l]");
  EXPECT_EQ(MmlTrackEventsOfType(0, {kEvLoopJump}), (V{{kEvLoopJump, 96, 0}}));
  EXPECT_EQ(Song().tracks[0].loopPointTick, 48);
  // A jump before any loop point is kept: it does not jump back.
  CompileMmlText("[l] c [d]");
  EXPECT_EQ(MmlTrackEventsOfType(0, {kEvLoopJump}).size(), 1u);
}

// ---- tones, effect definitions ------------------------------------------------------------

std::string ToneForm(int number) {
  std::string s = "(@" + std::to_string(number) + "\r\n";
  for (int op = 0; op < 4; ++op) {
    for (int i = 0; i < 11; ++i) s += std::to_string(op * 11 + i + 1) + (i < 10 ? "," : "\r\n");
  }
  return s + "5,6,-7)\r\n";
}

TEST(MmlTones, ParenthesisedToneFillsOperatorsThenChannel) {
  for (FmTone &t : Song().tones) t = FmTone{};
  CompileMmlText(ToneForm(3) + "c");
  const FmTone &tone = Song().tones[3];
  EXPECT_EQ(tone.used, 1);
  EXPECT_EQ(tone.number, 3);
  for (int i = 0; i < 44; ++i) EXPECT_EQ(tone.params[11 + i], i + 1) << i;
  EXPECT_EQ(tone.params[0], 5);
  EXPECT_EQ(tone.params[1], 6);
  EXPECT_EQ(tone.params[2], -7);
  for (int i = 3; i <= 10; ++i) EXPECT_EQ(tone.params[i], kDefaultFmTone[i]);
  EXPECT_EQ(MmlTrackEventsOfType(0, {kEvNoteOn}).size(), 1u);

  // Tones stay defined across compiles until redefined.
  CompileMmlText("c");
  EXPECT_EQ(Song().tones[3].used, 1);
}

TEST(MmlTones, LineLayoutTone) {
  // Blanks may stand before the number, as in "(@"; a form without a number defines nothing.
  struct Case {
    const char *head;
    int tone;  // -1: no tone
  } cases[] = {{"(v7 / lead", 7}, {"(V 7 / lead", 7}, {"(v\t 12", 12}, {"(v / lead", -1}, {"(v\r\n", -1}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.head);
    for (FmTone &t : Song().tones) t = FmTone{};
    CompileMmlText(std::string(c.head) +
                   "\r\n"
                   "58\r\n"
                   "31,4,2,4,11,26,1,1,6,0,9\r\n"
                   "30,0,0,4,0,47,1,8,0,2,9\r\n"
                   "29,31,8,4,0,41,1,1,7,0,9\r\n"
                   "20,31,3,6,0,0,1,2,0,0,9\r\n"
                   ")\r\nc");
    EXPECT_EQ(MmlTrackEventsOfType(0, {kEvNoteOn}).size(), 1u);
    if (c.tone < 0) {
      for (const FmTone &t : Song().tones) ASSERT_TRUE(t.used == 0 && t.params == kDefaultFmTone);
      continue;
    }
    const FmTone &tone = Song().tones[c.tone];
    EXPECT_EQ(tone.used, 1);
    EXPECT_EQ(Song().tones[0].used, 0);
    EXPECT_EQ(tone.params[0], 2);  // 58 & 7
    EXPECT_EQ(tone.params[1], 7);  // 58 / 8
    EXPECT_EQ(tone.params[2], kDefaultFmTone[2]);
    EXPECT_EQ(tone.params[11], 31);
    EXPECT_EQ(tone.params[22], 30);
    EXPECT_EQ(tone.params[33], 29);
    EXPECT_EQ(tone.params[44], 20);
    EXPECT_EQ(tone.params[16], 26);
    for (int op = 0; op < 4; ++op) EXPECT_EQ(tone.params[21 + 11 * op], 0) << op;
  }
}

TEST(MmlTones, EffectDefinition) {
  CompileMmlText("(x5,2,3,10,20,30,40,50,60,70,80,90,100,110) c (:6,-,)");
  const FmEffectDef &d = Song().effects[5];
  EXPECT_EQ(d.kind, 2);
  EXPECT_EQ(d.first, 3);
  for (int i = 0; i < 11; ++i) EXPECT_FLOAT_EQ(d.values[i], 10.0f * (i + 1)) << i;
  EXPECT_EQ(Song().effects[6].kind, 1);  // "-" without digits
  EXPECT_EQ(Song().effects[6].first, -1);
  EXPECT_EQ(MmlTrackEventsOfType(0, {kEvNoteOn}).size(), 1u);
}

TEST(MmlTones, NumbersOutsideTheTablesAreRefused) {
  for (FmTone &t : Song().tones) t = FmTone{};
  FmEffectDef before = Song().effects[31];
  CompileMmlText(ToneForm(64) + "(@-1,1,2)(v99\r\n1\r\n)(x32,1,2,3)(x-3,4) c");
  for (const FmTone &t : Song().tones) EXPECT_EQ(t.used, 0);
  EXPECT_EQ(Song().effects[31].kind, before.kind);
  EXPECT_EQ(MmlTrackEventsOfType(0, {kEvNoteOn}).size(), 1u);
}

TEST(MmlTones, AFileEndingInsideAFormStops) {
  CompileMmlText("(@1,2,3");
  EXPECT_EQ(Song().loaded, 1);
  EXPECT_EQ(Song().tones[1].params[11], 2);
  EXPECT_EQ(Song().tones[1].params[12], 3);
}

// ---- portamento -----------------------------------------------------------------------------

TEST(MmlPortamento, GlideEventsAndOctaveChange) {
  CompileMmlText("(c4,d) e");
  EXPECT_EQ(MmlTrackEvents(0), (V{{kEvPortamentoStart, 0, 48},
                                  {kEvPortamentoEnd, 48, 50},
                                  {kEvNoteOn, 48, 52},
                                  {kEvNoteOff, 96, 52}}));
  CompileMmlText("(c8<c) c (e8o2g) c (ao9a)");
  V ev = MmlTrackEvents(0);
  EXPECT_EQ(ev[1], (MmlEv{kEvPortamentoEnd, 24, 60}));
  EXPECT_EQ(ev[2].value, 60);  // the octave change stays
  EXPECT_EQ(ev[5], (MmlEv{kEvPortamentoEnd, 96, 31}));
  EXPECT_EQ(ev[9].value, 93);  // "o" inside the form clamps to 1-7
}

TEST(MmlPortamento, SkippedForms) {
  // "0", "F" or "A" after the letter: the form is skipped.
  for (const char *text : {"(a0,3) c", "(cF) c", "(eA c) c"}) {
    CompileMmlText(text);
    EXPECT_EQ(MmlTrackEvents(0), (V{{kEvNoteOn, 0, 48}, {kEvNoteOff, 48, 48}})) << text;
  }
  // Only a lower-case letter opens the form; an upper-case one is a remark skipped to ")".
  for (const char *text : {"(C4,D) c", "(Bass) c", "(Echo) c"}) {
    CompileMmlText(text);
    EXPECT_EQ(MmlTrackEvents(0), (V{{kEvNoteOn, 0, 48}, {kEvNoteOff, 48, 48}})) << text;
  }
}

TEST(MmlPortamento, WithoutATargetTheStartNotePlaysForItsLength) {
  // The glide is lost, never the time: the next note still starts a beat later.
  for (const char *text : {"(c4, d) e", "(c4,) e", "(c4,x) e", "(c4 d) e", "(c4,>) <e"}) {
    CompileMmlText(text);
    EXPECT_EQ(MmlTrackEvents(0),
              (V{{kEvNoteOn, 0, 48}, {kEvNoteOff, 48, 48}, {kEvNoteOn, 48, 52}, {kEvNoteOff, 96, 52}}))
        << text;
  }
  // Like a note, it can be slurred into the next.
  CompileMmlText("(c4, d)&e");
  EXPECT_EQ(MmlTrackEvents(0), (V{{kEvNoteOn, 0, 48, 0}, {kEvNoteOn, 48, 52}, {kEvNoteOff, 96, 52}}));
  CompileMmlText("(c4");
  EXPECT_EQ(MmlTrackEvents(0), (V{{kEvNoteOn, 0, 48}, {kEvNoteOff, 48, 48}}));
}

// ---- tracks and directives -----------------------------------------------------------------

TEST(MmlTracks, TrackSelection) {
  CompileMmlText("c (t2) d (T16) e (t0) f (t99) g a b (t3) c");
  EXPECT_EQ(MmlTrackEventsOfType(0, {kEvNoteOn}), (V{{kEvNoteOn, 0, 48}, {kEvNoteOn, 48, 53}}));
  EXPECT_EQ(MmlTrackEventsOfType(1, {kEvNoteOn}), (V{{kEvNoteOn, 0, 50}}));
  EXPECT_EQ(MmlTrackEventsOfType(15, {kEvNoteOn}), (V{{kEvNoteOn, 0, 4}}));
  EXPECT_EQ(MmlTrackEventsOfType(2, {kEvNoteOn}), (V{{kEvNoteOn, 0, 48}}));
  for (int t = 3; t < 15; ++t) EXPECT_TRUE(MmlTrackEvents(t).empty()) << t;
}

TEST(MmlDirectives, TitleFromTheFirstT) {
  CompileMmlText(".comment My Song\r\nc");
  EXPECT_STREQ(Song().title, " My Song");
  CompileMmlText(".ctitle\x83\x5E\x83\x43\x83\x67\x83\x8B\r\n");  // Japanese in code page 932
  EXPECT_STREQ(Song().title, "itle\x83\x5E\x83\x43\x83\x67\x83\x8B");
  CompileMmlText(".cno title here\r\n c");  // the "t" of "title" is the first t
  EXPECT_STREQ(Song().title, "itle here");
  CompileMmlText(".cabc\r\nt c");  // a CR before any "t" cancels
  EXPECT_STREQ(Song().title, "");
  EXPECT_EQ(MmlTrackEventsOfType(0, {kEvTempo}).size(), 1u);
  CompileMmlText(".cabc\n; with LF line ends\nc");  // so does an LF
  EXPECT_STREQ(Song().title, "");
  CompileMmlText(".ct LF ends\nc");
  EXPECT_STREQ(Song().title, " LF ends");
}

TEST(MmlDirectives, LongTitleIsCutAndItsRestIsNotMusic) {
  std::string text = ".ct" + std::string(254, 'x') + "\x83\x5E" + "cdefg\r\nc";
  CompileMmlText(text);
  EXPECT_EQ(strlen(Song().title), 254u);  // the double-byte character that did not fit is left out
  EXPECT_EQ(MmlTrackEventsOfType(0, {kEvNoteOn}).size(), 1u);
  // A new song without a title does not keep the old one.
  CompileMmlText("c");
  EXPECT_STREQ(Song().title, "");
}

TEST(MmlDirectives, SoloSetMutesTheOthers) {
  struct Case {
    const char *text;
    std::vector<int> audible;
  } cases[] = {{".solo 1,2\r\n", {0, 1}},
               {".s 16\r\n", {15}},
               {".s 0,99,x\r\n", {0, 15}},
               {".s ,3", {0, 2}},
               {"c", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}}};
  for (const Case &c : cases) {
    CompileMmlText(c.text);
    std::vector<int> audible;
    for (int t = 0; t < 16; ++t) {
      if (!Song().tracks[t].mute) audible.push_back(t);
    }
    EXPECT_EQ(audible, c.audible) << c.text;
  }
}

TEST(MmlDirectives, SampleFileIsPlacedInTheSongsFolder) {
  CompileMmlText(".a=drums.zpd  \r\nc");
  EXPECT_STREQ(GetMmlSampleFileName(), "drums.zpd  ");  // trailing spaces are part of the name
  EXPECT_STREQ(GetMmlSampleFileDrive(), "C:");
  EXPECT_STREQ(GetMmlSampleFileFolder(), "\\songs\\");
  EXPECT_STREQ(GetMmlSampleFilePath(), "C:\\songs\\drums.zpd  ");
  EXPECT_EQ(MmlTrackEventsOfType(0, {kEvNoteOn}).size(), 1u);

  CompileMmlText("c");
  EXPECT_STREQ(GetMmlSampleFilePath(), "");

  // A folder whose double-byte names end in the byte of "\" splits at the real separator.
  const char path[] = "D:\\\x83\x5C\x83\x93\\x\x95\x5C.zms";
  CompileMmlFromMemory(".A list=kit\r\n", 13, path);
  EXPECT_STREQ(GetMmlSampleFileFolder(), "\\\x83\x5C\x83\x93\\");
  EXPECT_STREQ(GetMmlSampleFilePath(), "D:\\\x83\x5C\x83\x93\\kit");

  // A deep folder is still used whole.
  std::string deep = "E:\\" + std::string(100, 'f') + "\\song.zms";
  CompileMmlFromMemory(".a=s.zpd", 8, deep.c_str());
  EXPECT_EQ(std::string(GetMmlSampleFilePath()), "E:\\" + std::string(100, 'f') + "\\s.zpd");
  // A path beyond the limits gives the name alone.
  std::string huge = "E:\\" + std::string(400, 'f') + "\\song.zms";
  CompileMmlFromMemory(".a=s.zpd", 8, huge.c_str());
  EXPECT_STREQ(GetMmlSampleFilePath(), "s.zpd");
}

TEST(MmlDirectives, OptionSwitchesOctaveReversal) {
  CompileMmlText(".option r\r\n< c .o x\r\n< c");
  V on = MmlTrackEventsOfType(0, {kEvNoteOn});
  EXPECT_EQ(on[0].value, 36);
  EXPECT_EQ(on[1].value, 48);
}

// ---- files and limits -----------------------------------------------------------------------

TEST(MmlCompile, FileThatDoesNotOpenLeavesTheSongResetAndNotLoaded) {
  CompileMmlText(".ctitle\r\n.a=kit.zpd\r\nc d e");
  CompileMml("Z:\\no\\such\\folder\\song.zms");
  EXPECT_EQ(Song().loaded, 0);
  EXPECT_TRUE(MmlTrackEvents(0).empty());
  EXPECT_STREQ(Song().title, "");
  EXPECT_STREQ(GetMmlSampleFilePath(), "");
  CompileMml(nullptr);
  EXPECT_EQ(Song().loaded, 0);
  CompileMmlFromMemory(nullptr, 100, nullptr);
  EXPECT_EQ(Song().loaded, 1);
}

TEST(MmlCompile, EmptyTextAndFFGiveALoadedSongWithoutEvents) {
  CompileMmlText("");
  EXPECT_EQ(Song().loaded, 1);
  for (int t = 0; t < 16; ++t) EXPECT_TRUE(MmlTrackEvents(t).empty());
  CompileMmlText(std::string("c\xFF" "def", 5));
  EXPECT_EQ(MmlTrackEvents(0).size(), 2u);
}

TEST(MmlCompile, AFullTrackStopsWholeAndOthersGoOn) {
  std::string text;
  for (int i = 0; i < 6000; ++i) text += "c16";
  text += "(t2) d";
  CompileMmlText(text);
  V ev = MmlTrackEvents(0);
  EXPECT_EQ(ev.size(), static_cast<size_t>(kMmlMaxTrackEvents - 1));  // note pairs only
  EXPECT_EQ(ev.back().type, kEvNoteOff);
  EXPECT_EQ(Song().events[0][kEventsPerTrack - 1].type, kEvEnd);
  EXPECT_EQ(MmlTrackEvents(1).size(), 2u);

  // Inside a chord the note-offs it owes keep their room, whatever else fills the track.
  CompileMmlText(std::string(9995, 'v') + "'c" + std::string(20, '~') + "'");
  EXPECT_EQ(MmlTrackEventsOfType(0, {kEvNoteOn}).size(), 1u);
  EXPECT_EQ(MmlTrackEventsOfType(0, {kEvNoteOff}).size(), 1u);
}

TEST(MmlCompile, AStoppedTrackIsLeftAsItStands) {
  // An unclosed "{" stops the track: a later "&" must not take the note-off of its last note.
  CompileMmlText("c4 { & d4");
  EXPECT_EQ(MmlTrackEvents(0), (V{{kEvNoteOn, 0, 48}, {kEvNoteOff, 48, 48}}));
  CompileMmlText("(c4,d) { & e");
  EXPECT_EQ(MmlTrackEvents(0)[1], (MmlEv{kEvPortamentoEnd, 48, 50}));
  // Nor in a track that is full.
  std::string full;
  for (int i = 0; i < kMmlMaxTrackEvents / 2 + 1; ++i) full += "c";
  CompileMmlText(full + " & d");
  V ev = MmlTrackEvents(0);
  ASSERT_EQ(ev.size(), static_cast<size_t>(kMmlMaxTrackEvents - 1));
  EXPECT_EQ(ev[ev.size() - 2].articulate, 1);
  EXPECT_EQ(ev.back().type, kEvNoteOff);
}

TEST(MmlCompile, TimeBeyondTheLimitStopsTheTrack) {
  // Each "l^^" triples the default length up to its own limit; the notes then pass the tick limit.
  std::string text = "l^^ l^^ l^^ l^^ l^^ l^^ l^^ l^^ l^^ l^^ l^^ l^^ l^^";
  for (int i = 0; i < 2000; ++i) text += "c";
  CompileMmlText(text);
  V ev = MmlTrackEvents(0);
  ASSERT_FALSE(ev.empty());
  EXPECT_LE(ev.back().tick, static_cast<uint32_t>(kMmlMaxTick));
  EXPECT_EQ(ev.size(), 2u * (kMmlMaxTick / kMmlMaxLength));
}

// ---- fixture files --------------------------------------------------------------------------

void CompileFixture(const char *name) { CompileMml(MmlFixturePath(name).c_str()); }

TEST(MmlFixtures, TitleSoloSetSampleFileAndTracks) {
  CompileFixture("title_solo.zms");
  ASSERT_EQ(Song().loaded, 1);
  EXPECT_STREQ(Song().title, " 春の小川");
  for (int t = 0; t < 16; ++t) EXPECT_EQ(Song().tracks[t].mute, (t == 0 || t == 8) ? 0 : 1) << t;
  EXPECT_EQ(std::string(GetMmlSampleFilePath()), MmlFixturePath("kit.zpd"));
  EXPECT_STREQ(GetMmlSampleFileName(), "kit.zpd");
  EXPECT_EQ(MmlTrackEvents(0), (V{{kEvTempo, 0, 132},
                                  {kEvNoteOn, 0, 60},
                                  {kEvNoteOff, 24, 60},
                                  {kEvNoteOn, 24, 62},
                                  {kEvNoteOff, 48, 62},
                                  {kEvNoteOn, 48, 64},
                                  {kEvNoteOff, 96, 64}}));
  EXPECT_EQ(MmlTrackEvents(8), (V{{kEvNoteOn, 0, 24},
                                  {kEvNoteOff, 48, 24},
                                  {kEvRest, 48, 0},
                                  {kEvNoteOff, 96, 0},
                                  {kEvNoteOn, 96, 24},
                                  {kEvNoteOff, 144, 24}}));
  EXPECT_EQ(MmlTrackEventsOfType(2, {kEvNoteOn}),
            (V{{kEvNoteOn, 0, 52}, {kEvNoteOn, 48, 52}, {kEvNoteOn, 96, 52}}));
  EXPECT_EQ(Song().tracks[0].defaultLength, 24);
}

TEST(MmlFixtures, TonesAndEffectDefinitions) {
  for (FmTone &t : Song().tones) t = FmTone{};
  CompileFixture("tones.zms");
  const FmTone &op = Song().tones[5];
  EXPECT_EQ(op.used, 1);
  const int expectOp[55] = {4,  7,  15, 0, 0,  0,  0, 0, 0, 3, 0,  // channel 3-10 keep the default
                            31, 4,  2,  4, 11, 26, 1, 1, 6, 0, 0,
                            31, 0,  0,  4, 0,  47, 1, 8, 0, 2, 0,
                            31, 31, 8,  4, 0,  41, 1, 1, 7, 0, 0,
                            20, 31, 3,  6, 0,  0,  1, 2, 0, 0, 0};
  for (int i = 0; i < 55; ++i) EXPECT_EQ(op.params[i], expectOp[i]) << "tone 5 parameter " << i;

  const FmTone &line = Song().tones[12];
  EXPECT_EQ(line.used, 1);
  const int expectLine[55] = {3,  7, 15, 0, 0,  0,  0, 0, 0, 3, 0,
                              28, 5, 3,  5, 10, 24, 2, 3, 0, 0, 0,
                              29, 6, 4,  6, 11, 25, 1, 4, 1, 0, 0,
                              30, 7, 5,  7, 12, 26, 3, 5, 2, 0, 0,
                              31, 8, 6,  8, 13, 27, 0, 6, 3, 0, 0};
  for (int i = 0; i < 55; ++i) EXPECT_EQ(line.params[i], expectLine[i]) << "tone 12 parameter " << i;

  const FmEffectDef &fx = Song().effects[2];
  EXPECT_EQ(fx.kind, 3);
  EXPECT_EQ(fx.first, 4);
  const float expectFx[11] = {100, 90, 80, 70, 60, 50, 40, 30, 20, 10, 5};
  for (int i = 0; i < 11; ++i) EXPECT_FLOAT_EQ(fx.values[i], expectFx[i]) << i;

  EXPECT_EQ(MmlTrackEvents(0), (V{{kEvTone, 0, 5},
                                  {kEvNoteOn, 0, 48},
                                  {kEvNoteOff, 48, 48},
                                  {kEvTone, 48, 12},
                                  {kEvFmEffect, 48, 2},
                                  {kEvNoteOn, 48, 50},
                                  {kEvNoteOff, 96, 50}}));
  for (int t = 0; t < 16; ++t) EXPECT_EQ(Song().tracks[t].mute, 0);
  EXPECT_STREQ(Song().title, "");
}

TEST(MmlFixtures, MelodyWithRepeatChordsTieTupletPortamentoAndLoop) {
  CompileFixture("melody.zms");
  EXPECT_STREQ(Song().title, " melody");
  EXPECT_EQ(MmlTrackEvents(0), (V{{kEvTempo, 0, 120},
                                  // |:2 c8 d8 | e :|
                                  {kEvNoteOn, 0, 48}, {kEvNoteOff, 24, 48},
                                  {kEvNoteOn, 24, 50}, {kEvNoteOff, 48, 50},
                                  {kEvNop, 48, 0},
                                  {kEvNoteOn, 48, 52}, {kEvNoteOff, 96, 52},
                                  {kEvNoteOn, 96, 48}, {kEvNoteOff, 120, 48},
                                  {kEvNoteOn, 120, 50}, {kEvNoteOff, 144, 50},
                                  // 'c e g' & 'c g': c and g hold on, e ends
                                  {kEvNoteOn, 144, 48}, {kEvNoteOn, 144, 52}, {kEvNoteOn, 144, 55},
                                  {kEvNop, 192, 48}, {kEvNoteOff, 192, 52}, {kEvNop, 192, 55},
                                  {kEvNop, 192, 48}, {kEvNop, 192, 55},
                                  {kEvNoteOff, 240, 48}, {kEvNoteOff, 240, 55},
                                  // {f g a}4
                                  {kEvNoteOn, 240, 53}, {kEvNoteOff, 256, 53},
                                  {kEvNoteOn, 256, 55}, {kEvNoteOff, 272, 55},
                                  {kEvNoteOn, 272, 57}, {kEvNoteOff, 288, 57},
                                  // (b8,>c) & d
                                  {kEvPortamentoStart, 288, 59}, {kEvPortamentoEnd, 312, 36, 0},
                                  {kEvNoteOn, 312, 38}, {kEvNoteOff, 360, 38},
                                  // r2 [d] e8 [l]
                                  {kEvRest, 360, 0}, {kEvNoteOff, 456, 0},
                                  {kEvLoopPoint, 456, 0},
                                  {kEvNoteOn, 456, 40}, {kEvNoteOff, 480, 40},
                                  {kEvLoopJump, 480, 0}}));
  EXPECT_EQ(Song().tracks[0].loopPointTick, 456);
}

}  // namespace
