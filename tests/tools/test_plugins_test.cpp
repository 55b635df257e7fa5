// The test plug-ins as a host meets them: the sounding instrument tp_tone plays a sine a note at
// its key's pitch, from phase 0 at the first frame of the block its note-on came with, at a level
// from its velocity, and fades over 20 ms after its note-off; the editor variants report their
// size, except tp_kezmir, which has an editor and no size.
#include <gtest/gtest.h>

#include <windows.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/support/test_paths.h"
#include "tools/test_plugins/test_plugin_api.h"

namespace {

VstIntPtr VST_CALL Host(AEffect *, VstInt32 Opcode, VstInt32, VstIntPtr, void *, float)
{
    return Opcode == audioMasterGetSampleRate ? 44100 : Opcode == audioMasterVersion ? 2400 : 0;
}

// A test plug-in DLL of the build, its entry called once.
class Plugin
{
public:
    explicit Plugin(const char *Name) : module_(LoadLibraryA(TestBinPath(std::string(Name) + ".dll").c_str()))
    {
        FARPROC entry = module_ ? GetProcAddress(module_, "VSTPluginMain") : nullptr;
        effect_ = entry ? reinterpret_cast<VstPluginMainProc>(reinterpret_cast<void *>(entry))(Host) : nullptr;
        if (effect_) Dispatch(effOpen);
    }
    ~Plugin()
    {
        if (effect_) Dispatch(effClose);
        if (module_) FreeLibrary(module_);
    }
    AEffect *Effect() const { return effect_; }
    VstIntPtr Dispatch(VstInt32 Opcode, void *Ptr = nullptr) const { return effect_->dispatcher(effect_, Opcode, 0, 0, Ptr, 0.0f); }
    // One MIDI message for the next block.
    void Midi(int Status, int Key, int Velocity) const
    {
        VstMidiEvent event = {kVstMidiType, sizeof(VstMidiEvent), 0, kVstMidiEventIsRealtime, 0, 0,
                              {char(Status), char(Key), char(Velocity), 0}, 0, 0, 0, 0};
        VstEvents events = {1, 0, {reinterpret_cast<VstEvent *>(&event), nullptr}};
        Dispatch(effProcessEvents, &events);
    }
    // One block of 441 frames: the left and the right output.
    std::vector<std::vector<float>> Block() const
    {
        std::vector<std::vector<float>> out(2, std::vector<float>(441, 99.0f));
        float *outputs[2] = {out[0].data(), out[1].data()};
        effect_->processReplacing(effect_, nullptr, outputs, 441);
        return out;
    }

private:
    HMODULE module_;
    AEffect *effect_ = nullptr;
};

double Sine(int Key, int Velocity, int Frame)
{
    return kTpToneLevel * Velocity / 127.0 * std::sin(2.0 * M_PI * TpToneFrequency(Key) * Frame / 44100.0);
}

TEST(TestPlugins, TheToneInstrumentPlaysASineANoteAndFadesAfterItsNoteOff)
{
    Plugin tone("tp_tone");
    ASSERT_NE(nullptr, tone.Effect());
    EXPECT_EQ(effFlagsIsSynth, tone.Effect()->flags & effFlagsIsSynth);
    const std::vector<std::vector<float>> silent = tone.Block();
    for (float v : silent[0]) ASSERT_EQ(0.0f, v) << "sound before any note";

    tone.Midi(0x90, 69, 64);
    std::vector<std::vector<float>> first = tone.Block();
    tone.Midi(0x90, 57, 127);  // a second note joins in the next block
    std::vector<std::vector<float>> second = tone.Block();
    for (int i = 0; i < 441; ++i) {
        ASSERT_NEAR(Sine(69, 64, i), first[0][i], 1e-5) << i;
        ASSERT_EQ(first[0][i], first[1][i]) << i;
        ASSERT_NEAR(Sine(69, 64, 441 + i) + Sine(57, 127, i), second[0][i], 1e-5) << i;
    }

    tone.Midi(0x80, 69, 0);
    tone.Midi(0x90, 57, 0);  // a note-on of velocity 0 lets go too
    std::vector<std::vector<float>> fading = tone.Block();
    for (int i = 0; i < 441; ++i) {
        const double gain = double(kTpToneReleaseFrames - i) / kTpToneReleaseFrames;
        ASSERT_NEAR(gain * (Sine(69, 64, 882 + i) + Sine(57, 127, 441 + i)), fading[0][i], 1e-5) << i;
    }
    tone.Block();  // the rest of the fade
    const std::vector<std::vector<float>> after = tone.Block();
    for (float v : after[0]) ASSERT_EQ(0.0f, v) << "sound after the fade";
}

TEST(TestPlugins, EditorVariantsReportTheirSizeButKezmir)
{
    const struct {
        const char *name;
        bool editor, size;
    } cases[] = {{"tp_tone", true, true}, {"tp_vornalt", true, true}, {"tp_kezmir", true, false}, {"tp_plain", false, false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Plugin plugin(c.name);
        ASSERT_NE(nullptr, plugin.Effect());
        EXPECT_EQ(c.editor, (plugin.Effect()->flags & effFlagsHasEditor) != 0);
        ERect *rect = nullptr;
        EXPECT_EQ(c.size ? 1 : 0, plugin.Dispatch(effEditGetRect, &rect));
        if (c.size) {
            ASSERT_NE(nullptr, rect);
            EXPECT_EQ(kTpEditorDefaultRect.right - kTpEditorDefaultRect.left, rect->right - rect->left);
            EXPECT_EQ(kTpEditorDefaultRect.bottom - kTpEditorDefaultRect.top, rect->bottom - rect->top);
        }
    }
}

}  // namespace
