// The host callback as plug-ins see it: through the pointer a test plug-in saved from its
// entry call, before and after the host bound the instance to a slot.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/engine/plugin_fixture.h"

namespace {

class HostCallbackTest : public PluginSlotsTest {
 protected:
  void SetUp() override {
    PluginSlotsTest::SetUp();
    ASSERT_TRUE(lib_.ok());
    ASSERT_EQ(0, LoadPlugin(0, 0, TestPluginPath("tp_vornalt").c_str()));
    effect_ = SlotOf(0, 0).effect;
  }
  VstIntPtr Ask(int32_t opcode, void* ptr = nullptr, AEffect* effect = nullptr) {
    return lib_.CallHost(effect ? effect : effect_, opcode, 0, 0, ptr, 0.0f);
  }

  TestPluginLibrary lib_{TestPluginPath("tp_vornalt")};
  AEffect* effect_ = nullptr;
};

TEST_F(HostCallbackTest, DuringTheEntryCallOnlyTheVersionIsAnswered) {
  const TpInstance* t = TestPluginLibrary::Of(effect_);
  const VstIntPtr expected[kTpEntryCallCount] = {2400, 0, 2400, 0, 0};
  for (int i = 0; i < kTpEntryCallCount; ++i) {
    SCOPED_TRACE(testing::Message() << "opcode " << t->entryAnswers[i].opcode << " with effect "
                                    << t->entryAnswers[i].withEffect);
    EXPECT_EQ(expected[i], t->entryAnswers[i].answer);
  }
  // Even a plug-in whose entry answer was refused heard the same.
  TestPluginLibrary refused(TestPluginPath("tp_nullinstance"));
  EXPECT_EQ(-1, LoadPlugin(1, 0, TestPluginPath("tp_nullinstance").c_str()));
  ASSERT_NE(nullptr, refused.Latest());
  EXPECT_EQ(2400, refused.Latest()->entryAnswers[0].answer);
  EXPECT_EQ(0, refused.Latest()->entryAnswers[1].answer);
}

TEST_F(HostCallbackTest, BoundInstanceGetsTheFixedAnswers) {
  struct Case {
    int32_t opcode;
    VstIntPtr answer;
  };
  const Case cases[] = {
      {audioMasterAutomate, 0},
      {audioMasterVersion, 2400},
      {audioMasterCurrentId, kTpUniqueId},
      {audioMasterIdle, 0},
      {4, 0},
      {6, 0},
      {audioMasterProcessEvents, 0},
      {audioMasterIOChanged, 0},
      {audioMasterSizeWindow, 1},
      {audioMasterGetSampleRate, 44100},
      {audioMasterGetBlockSize, 1024},
      {audioMasterGetInputLatency, 0},
      {audioMasterGetOutputLatency, 0},
      {audioMasterGetCurrentProcessLevel, 0},
      {audioMasterGetAutomationState, 1},
      {audioMasterGetVendorVersion, 1},
      {audioMasterVendorSpecific, 0},
      {audioMasterCanDo, 0},  // no text
      {audioMasterGetLanguage, 6},
      {40, 0},
      {audioMasterUpdateDisplay, 0},
      {100, 0},
      {-1, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(c.answer, Ask(c.opcode)) << "opcode " << c.opcode;

  // The stored context is what is answered.
  g_hostContext.sampleRate = 48000;
  g_hostContext.blockSize = 512;
  EXPECT_EQ(48000, Ask(audioMasterGetSampleRate));
  EXPECT_EQ(512, Ask(audioMasterGetBlockSize));
}

TEST_F(HostCallbackTest, VendorAndProductAreCopiedWithoutTerminator) {
  char buffer[16];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(1, Ask(audioMasterGetVendorString, buffer));
  EXPECT_EQ(0, std::memcmp(buffer, "QOVUxxxx", 8));
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(1, Ask(audioMasterGetProductString, buffer));
  EXPECT_EQ(0, std::memcmp(buffer, "tarvexxx", 8));
  EXPECT_EQ(0, Ask(audioMasterGetVendorString, nullptr));
  EXPECT_EQ(0, Ask(audioMasterGetProductString, nullptr));
}

TEST_F(HostCallbackTest, CanDoMatchesExactTextsOnly) {
  struct Case {
    const char* text;
    VstIntPtr answer;
  };
  const Case cases[] = {
      {"sendVstEvents", 1},        {"sendVstMidiEvents", 1},
      {"sizeWindow", 1},           {"startStopProcess", 1},
      {"sendVstMidiEventFlagIsRealtime", 1},
      {"sendVstMidiEvent", 0},     {"SizeWindow", 0},
      {"sizeWindow ", 0},          {"receiveVstEvents", 0},
      {"", 0},
  };
  for (const Case& c : cases) {
    char text[64];
    std::strcpy(text, c.text);
    EXPECT_EQ(c.answer, Ask(audioMasterCanDo, text)) << '"' << c.text << '"';
  }
}

TEST_F(HostCallbackTest, TimeInfoIsFixedAndShared) {
  DWORD before = GetTickCount();
  VstTimeInfo* time = reinterpret_cast<VstTimeInfo*>(Ask(audioMasterGetTime));
  DWORD after = GetTickCount();
  ASSERT_EQ(&g_hostContext.timeInfo, time);
  EXPECT_EQ(0.0, time->samplePos);
  EXPECT_EQ(44100.0, time->sampleRate);
  EXPECT_GE(time->nanoSeconds, before * 1e6);
  EXPECT_LE(time->nanoSeconds, after * 1e6);
  EXPECT_EQ(0.0, time->ppqPos);
  EXPECT_EQ(120.0, time->tempo);
  EXPECT_EQ(0.0, time->barStartPos);
  EXPECT_EQ(0.0, time->cycleStartPos);
  EXPECT_EQ(0.0, time->cycleEndPos);
  EXPECT_EQ(4, time->timeSigNumerator);
  EXPECT_EQ(4, time->timeSigDenominator);
  EXPECT_EQ(0, time->smpteOffset);
  EXPECT_EQ(0, time->smpteFrameRate);
  EXPECT_EQ(0, time->samplesToNextClock);
  EXPECT_EQ(0x2700, time->flags);
  EXPECT_EQ(0, time->flags & kVstTransportPlaying);

  // A plug-in that scribbles on it gets it refilled; another plug-in gets the same record.
  time->tempo = 999.0;
  ASSERT_EQ(0, LoadPlugin(1, 0, TestPluginPath("tp_vornalt").c_str()));
  VstTimeInfo* other = reinterpret_cast<VstTimeInfo*>(Ask(audioMasterGetTime, nullptr, SlotOf(1, 0).effect));
  EXPECT_EQ(time, other);
  EXPECT_EQ(120.0, other->tempo);

  // The sample rate is read as unsigned.
  g_hostContext.sampleRate = -1;
  EXPECT_EQ(4294967295.0, reinterpret_cast<VstTimeInfo*>(Ask(audioMasterGetTime))->sampleRate);
}

TEST_F(HostCallbackTest, DirectoryIsTheSlotsEmptyText) {
  const char* directory = reinterpret_cast<const char*>(Ask(audioMasterGetDirectory));
  ASSERT_EQ(SlotOf(0, 0).directory.c_str(), directory);
  EXPECT_STREQ("", directory);
}

TEST_F(HostCallbackTest, IdleCallsBackOnlyWhileTheEditorIsOpen) {
  TpInstance* t = TestPluginLibrary::Of(effect_);
  int requests = t->dispatchTotal;
  EXPECT_EQ(0, Ask(audioMasterIdle));
  EXPECT_EQ(requests, t->dispatchTotal);
  SlotOf(0, 0).editorOpen = 1;
  EXPECT_EQ(0, Ask(audioMasterIdle));
  ASSERT_EQ(requests + 1, t->dispatchTotal);
  EXPECT_EQ(effEditIdle, t->dispatchLog[requests].opcode);
  EXPECT_EQ(1, t->editorIdles);
  SlotOf(0, 0).editorOpen = 0;
}

TEST_F(HostCallbackTest, UnboundOrForeignInstancesGetOnlyTheVersion) {
  // An instance is bound only when its user field names one of our slots and that slot holds
  // this very instance: naming a slot that holds another plug-in is not enough.
  AEffect stranger;
  std::memset(&stranger, 0, sizeof stranger);
  stranger.magic = kEffectMagic;
  int local = 0;
  ASSERT_EQ(effect_, SlotOf(0, 0).effect);
  const void* users[] = {nullptr, &local, reinterpret_cast<char*>(&g_pluginSlots[3]) + 4, &g_pluginSlots[3],
                         &SlotOf(0, 0)};
  for (const void* user : users) {
    stranger.user = const_cast<void*>(user);
    EXPECT_EQ(2400, HostCallback(&stranger, audioMasterVersion, 0, 0, nullptr, 0.0f));
    EXPECT_EQ(0, HostCallback(&stranger, audioMasterGetSampleRate, 0, 0, nullptr, 0.0f));
    EXPECT_EQ(0, HostCallback(&stranger, audioMasterGetTime, 0, 0, nullptr, 0.0f));
  }
  EXPECT_EQ(2400, HostCallback(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f));
  EXPECT_EQ(0, HostCallback(nullptr, audioMasterCurrentId, 0, 0, nullptr, 0.0f));
}

}  // namespace
