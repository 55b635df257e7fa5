#include "tools/song_writer/sample_synth.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// A repeatable noise source in -1 to 1.
class Noise
{
public:
    double Next()
    {
        state_ = state_ * 1664525u + 1013904223u;
        return static_cast<double>(state_ >> 8) / static_cast<double>(1u << 23) - 1.0;
    }

private:
    uint32_t state_ = 0x1234567u;
};

// A short fade at both ends, so no sample starts or stops with a click.
double Edges(double t, double length)
{
    const double fade = 0.004;
    return std::min(1.0, std::min(t / fade, (length - t) / fade));
}

}  // namespace

bool KnownSampleKind(const std::string& kind)
{
    return kind == "kick" || kind == "snare" || kind == "hat" || kind == "tone";
}

std::vector<double> SynthesizeSample(const SampleRecipe& recipe, double rate)
{
    const size_t count = recipe.seconds > 0 ? static_cast<size_t>(recipe.seconds * rate) : 0;
    std::vector<double> out(count, 0.0);
    Noise noise;
    double phase = 0.0, previous = 0.0;
    for (size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / rate;
        double v = 0.0;
        if (recipe.kind == "kick") {
            // A falling pitch under a fast decay.
            phase += 2.0 * M_PI * (50.0 + 110.0 * std::exp(-t / 0.035)) / rate;
            v = std::sin(phase) * std::exp(-t / 0.12);
        } else if (recipe.kind == "snare") {
            phase += 2.0 * M_PI * 185.0 / rate;
            v = 0.55 * noise.Next() * std::exp(-t / 0.055) + 0.45 * std::sin(phase) * std::exp(-t / 0.07);
        } else if (recipe.kind == "hat") {
            // The difference of white noise: its high end.
            const double n = noise.Next();
            v = 0.6 * (n - previous) * std::exp(-t / 0.018);
            previous = n;
        } else if (recipe.kind == "tone") {
            phase += 2.0 * M_PI * recipe.hertz / rate;
            v = 0.8 * std::sin(phase);
        }
        out[i] = std::max(-1.0, std::min(1.0, v * Edges(t, recipe.seconds)));
    }
    return out;
}
