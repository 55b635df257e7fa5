#include "tools/song_writer/song_text.h"

#include <cmath>
#include <cstdlib>
#include <sstream>

#include "tools/song_writer/adpcm_encode.h"

namespace {

constexpr int kTrackLimit = 16, kToneLimit = 64, kSampleLimit = 96;
constexpr int kLowestKey = 3, kHighestKey = 98;  // note bytes 0x80 to 0xDF
constexpr int kLongestNote = 256, kLongestRest = 128;
constexpr double kBankRate = 15600.0, kWaveRate = 44100.0;
// Full scale of a sample in the bank (12-bit units) and in a WAV file: the banks' samples play at
// their own level, beside instruments whose notes peak near a quarter of full scale.
constexpr double kBankFullScale = 900.0, kWaveFullScale = 18000.0;

struct Reader
{
    SongText& out;
    std::string& error;
    int line = 0;
    // The track being written (its number, -1 when none), and where its loop and open repeats start.
    int trackNumber = -1;
    MdxTrack bytes;
    MdxTrack* track = nullptr;  // &bytes while a track is written
    long loopAt = -1;
    bool jumped = false;
    std::vector<size_t> repeats;
    // The tone whose operators are being read.
    MdxToneFields tone;
    int operators = 4;

    bool Fail(const std::string& what)
    {
        error = (line > 0 ? "line " + std::to_string(line) : std::string("at the end")) + ": " + what;
        return false;
    }

    static bool Number(const std::string& word, long& value)
    {
        if (word.empty()) return false;
        char* end = nullptr;
        value = std::strtol(word.c_str(), &end, 10);
        return *end == 0;
    }

    bool Ranged(const std::string& word, long low, long high, long& value, const char* what)
    {
        if (!Number(word, value) || value < low || value > high)
            return Fail(std::string(what) + " \"" + word + "\" is not a number from " + std::to_string(low) + " to " +
                        std::to_string(high));
        return true;
    }

    // The track being written goes into the song, with its end unless it jumps; a fault when a
    // repeat is left open.
    bool StoreTrack()
    {
        if (!track) return true;
        if (!repeats.empty()) return Fail("a repeat \"[\" of the track is not closed");
        if (!jumped) track->End();
        out.song.tracks[static_cast<size_t>(trackNumber)] = track->bytes;
        track = nullptr;
        return true;
    }

    bool EndTone()
    {
        if (operators == 4) return true;
        return Fail("tone " + std::to_string(tone.number) + " has " + std::to_string(operators) + " op lines, not 4");
    }

    // "c4:48", "f+3:24": the key and the ticks.
    bool Note(const std::string& word)
    {
        static const int kSemitone[7] = {9, 11, 0, 2, 4, 5, 7};  // a to g
        size_t at = 1;
        int key = kSemitone[word[0] - 'a'];
        if (at < word.size() && word[at] == '+')
            ++key, ++at;
        else if (at < word.size() && word[at] == '-')
            --key, ++at;
        const size_t colon = word.find(':');
        long octave = 0, ticks = 0;
        if (colon == std::string::npos || !Number(word.substr(at, colon - at), octave))
            return Fail("\"" + word + "\" is not a note such as c4:48");
        key += 12 * static_cast<int>(octave);
        if (key < kLowestKey || key > kHighestKey)
            return Fail("the key of \"" + word + "\" is outside " + std::to_string(kLowestKey) + "-" +
                        std::to_string(kHighestKey));
        if (!Ranged(word.substr(colon + 1), 1, kLongestNote, ticks, "the length")) return false;
        track->Note(key, static_cast<int>(ticks));
        return true;
    }

    bool TrackWord(const std::string& word)
    {
        if (jumped) return Fail("\"" + word + "\" after the jump is never played");
        const size_t equals = word.find('=');
        long value = 0;
        if (equals != std::string::npos) {
            const std::string name = word.substr(0, equals), number = word.substr(equals + 1);
            if (name == "tempo") return Ranged(number, 0, 255, value, "tempo") && (track->Tempo(value), true);
            if (name == "tone") return Ranged(number, 0, 255, value, "tone") && (track->Tone(value), true);
            if (name == "volume") return Ranged(number, 0, 15, value, "volume") && (track->Volume(value), true);
            if (name == "pan") return Ranged(number, 0, 3, value, "pan") && (track->Pan(value), true);
            if (name == "gate") return Ranged(number, 1, 8, value, "gate") && (track->Gate(value), true);
            if (name == "detune")
                return Ranged(number, -32768, 32767, value, "detune") && (track->Detune(static_cast<int>(value)), true);
            return Fail("\"" + name + "\" is not a track setting");
        }
        if (word == "tie") return track->Tie(), true;
        if (word == "loop") {
            if (loopAt >= 0) return Fail("the track has two loop points");
            loopAt = static_cast<long>(track->Here());
            return true;
        }
        if (word == "jump") {
            if (loopAt < 0) return Fail("\"jump\" without \"loop\" before it");
            if (!repeats.empty()) return Fail("\"jump\" inside a repeat");
            track->JumpTo(static_cast<size_t>(loopAt));
            jumped = true;
            return true;
        }
        if (word[0] == '[') {
            if (!Ranged(word.substr(1), 2, 255, value, "the repeat count")) return false;
            repeats.push_back(track->Here());
            track->RepeatStart(static_cast<int>(value));
            return true;
        }
        if (word == "]") {
            if (repeats.empty()) return Fail("\"]\" without \"[\"");
            track->RepeatEnd(repeats.back());
            repeats.pop_back();
            return true;
        }
        if (word.compare(0, 2, "r:") == 0) {
            if (!Ranged(word.substr(2), 1, 100000, value, "the rest")) return false;
            for (; value > 0; value -= kLongestRest) track->Rest(static_cast<int>(std::min<long>(value, kLongestRest)));
            return true;
        }
        if (word[0] == 's' && word.find(':') != std::string::npos) {
            const size_t colon = word.find(':');
            long ticks = 0;
            if (!Ranged(word.substr(1, colon - 1), 0, kSampleLimit - 1, value, "the sample") ||
                !Ranged(word.substr(colon + 1), 1, kLongestNote, ticks, "the length"))
                return false;
            track->Sample(static_cast<int>(value), static_cast<int>(ticks));
            return true;
        }
        if (word[0] >= 'a' && word[0] <= 'g') return Note(word);
        return Fail("\"" + word + "\" is not a track command");
    }

    bool Keyword(const std::string& keyword, std::istringstream& words, const std::string& rest)
    {
        std::vector<std::string> args;
        for (std::string w; words >> w;) args.push_back(w);
        long n = 0, v[11] = {};
        if (keyword == "title") {
            out.song.title = rest + "\r\n";  // the line end before the 0x1A ends the title the player shows
            return true;
        }
        if (keyword == "bank") {
            if (args.size() != 1) return Fail("bank takes one name");
            out.song.bankName = args[0];
            return true;
        }
        if (keyword == "tone") {
            if (!EndTone()) return false;
            if (args.size() != 4) return Fail("tone takes a number, the connection, the feedback and the slot mask");
            if (!Ranged(args[0], 0, 255, n, "the tone number") || !Ranged(args[1], 0, 7, v[0], "the connection") ||
                !Ranged(args[2], 0, 7, v[1], "the feedback") || !Ranged(args[3], 0, 15, v[2], "the slot mask"))
                return false;
            if (out.song.tones.size() >= kToneLimit) return Fail("more than 64 tones");
            tone = MdxToneFields();
            tone.number = static_cast<uint8_t>(n);
            tone.connection = static_cast<uint8_t>(v[0]);
            tone.feedback = static_cast<uint8_t>(v[1]);
            tone.slotMask = static_cast<uint8_t>(v[2]);
            operators = 0;
            return true;
        }
        if (keyword == "op") {
            if (operators >= 4) return Fail("op outside a tone, or a fifth one");
            static const long kHigh[10] = {31, 31, 31, 15, 15, 127, 3, 15, 7, 3};
            static const char* const kNames[10] = {"AR", "D1R", "D2R", "RR", "D1L", "TL", "KS", "MUL", "DT1", "DT2"};
            if (args.size() != 10) return Fail("op takes AR D1R D2R RR D1L TL KS MUL DT1 DT2");
            for (int i = 0; i < 10; ++i)
                if (!Ranged(args[i], 0, kHigh[i], v[i], kNames[i])) return false;
            MdxOperatorFields& op = tone.op[operators++];
            uint8_t* const fields[10] = {&op.ar,  &op.d1r, &op.d2r, &op.rr,  &op.d1l,
                                         nullptr, &op.ks,  &op.mul, &op.dt1, &op.dt2};
            for (int i = 0; i < 10; ++i) {
                if (fields[i]) *fields[i] = static_cast<uint8_t>(v[i]);
            }
            op.tl = static_cast<int8_t>(v[5]);
            if (operators == 4) out.song.tones.push_back(PackMdxTone(tone));
            return true;
        }
        if (keyword == "sample") {
            if (args.size() < 3 || args.size() > 4)
                return Fail("sample takes a number, a kind, seconds and maybe hertz");
            if (!Ranged(args[0], 0, kSampleLimit - 1, n, "the sample number")) return false;
            if (!KnownSampleKind(args[1])) return Fail("\"" + args[1] + "\" is not kick, snare, hat or tone");
            SampleRecipe recipe;
            recipe.kind = args[1];
            recipe.seconds = std::atof(args[2].c_str());
            recipe.hertz = args.size() == 4 ? std::atof(args[3].c_str()) : 0.0;
            if (!(recipe.seconds > 0.0 && recipe.seconds <= 10.0))
                return Fail("a sample lasts more than 0 and at most 10 s");
            if (recipe.kind == "tone" && !(recipe.hertz >= 20.0 && recipe.hertz <= 7000.0))
                return Fail("a tone's pitch lies from 20 to 7000 Hz");
            out.samples[static_cast<int>(n)] = recipe;
            return true;
        }
        if (keyword == "wav") {
            if (args.size() != 2 || !Ranged(args[0], 0, kSampleLimit - 1, n, "the sample number"))
                return Fail("wav takes a sample number and a file name");
            out.waves.push_back({static_cast<int>(n), args[1]});
            return true;
        }
        if (keyword == "track") {
            if (args.size() != 1 || !Ranged(args[0], 0, kTrackLimit - 1, n, "the track number")) return false;
            if (static_cast<size_t>(n) < out.song.tracks.size()) return Fail("tracks come in rising order, once each");
            while (out.song.tracks.size() < static_cast<size_t>(n)) out.song.tracks.push_back(MdxTrack().End().bytes);
            out.song.tracks.emplace_back();
            bytes = MdxTrack();
            track = &bytes;
            trackNumber = static_cast<int>(n);
            loopAt = -1;
            jumped = false;
            out.hasTracks = true;
            return true;
        }
        return Fail("\"" + keyword + "\" is not a keyword");
    }
};

const char* const kKeywords[] = {"title", "bank", "tone", "op", "sample", "wav", "track"};

bool IsKeyword(const std::string& word)
{
    for (const char* k : kKeywords)
        if (word == k) return true;
    return false;
}

void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace

bool ReadSongText(const std::string& text, SongText& out, std::string& error)
{
    out = SongText();
    Reader r{out, error};
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        ++r.line;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t hash = line.find('#');
        std::string kept = line.substr(0, hash);
        std::istringstream words(kept);
        std::string first;
        if (!(words >> first)) continue;
        if (IsKeyword(first)) {
            if (!r.StoreTrack()) return false;
            if (first != "op" && !r.EndTone()) return false;
            // The title keeps its own spaces (and may hold a "#").
            std::string rest = first == "title" ? line.substr(line.find("title") + 5) : std::string();
            rest.erase(0, rest.find_first_not_of(" \t"));
            if (!r.Keyword(first, words, rest)) return false;
            continue;
        }
        if (!r.track) return r.Fail("\"" + first + "\" outside a track");
        if (!r.TrackWord(first)) return false;
        for (std::string word; words >> word;)
            if (!r.TrackWord(word)) return false;
    }
    r.line = 0;  // faults found now are the end's
    if (!r.StoreTrack() || !r.EndTone()) return false;
    for (const auto& wave : out.waves)
        if (!out.samples.count(wave.first))
            return r.Fail("wav names sample " + std::to_string(wave.first) + ", not defined");
    return true;
}

std::vector<uint8_t> BuildSampleBank(const std::map<int, SampleRecipe>& samples)
{
    std::vector<std::pair<int, std::vector<uint8_t>>> entries;
    for (const auto& [number, recipe] : samples) {
        const std::vector<double> values = SynthesizeSample(recipe, kBankRate);
        std::vector<int32_t> target(values.size());
        for (size_t i = 0; i < values.size(); ++i)
            target[i] = static_cast<int32_t>(std::lround(values[i] * kBankFullScale));
        entries.push_back({number, EncodeAdpcm(target)});
    }
    return BuildPdx(entries);
}

std::vector<uint8_t> BuildSampleWave(const SampleRecipe& sample)
{
    const std::vector<double> values = SynthesizeSample(sample, kWaveRate);
    const uint32_t bytes = static_cast<uint32_t>(2 * values.size());
    std::vector<uint8_t> out = {'R', 'I', 'F', 'F'};
    PutLe(out, 36 + bytes, 4);
    for (char c : std::string("WAVEfmt ")) out.push_back(static_cast<uint8_t>(c));
    PutLe(out, 16, 4);
    PutLe(out, 1, 2);  // integer PCM
    PutLe(out, 1, 2);  // mono
    PutLe(out, 44100, 4);
    PutLe(out, 88200, 4);
    PutLe(out, 2, 2);
    PutLe(out, 16, 2);
    for (char c : std::string("data")) out.push_back(static_cast<uint8_t>(c));
    PutLe(out, bytes, 4);
    for (double v : values) PutLe(out, static_cast<uint16_t>(static_cast<int16_t>(std::lround(v * kWaveFullScale))), 2);
    return out;
}
