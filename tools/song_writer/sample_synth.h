// The example songs' samples, made in code rather than recorded: a few drum sounds and a plain
// tone, the same at every run (the noise has a fixed seed).
#pragma once

#include <string>
#include <vector>

struct SampleRecipe
{
    std::string kind;      // "kick", "snare", "hat" or "tone"
    double seconds = 0.0;  // length
    double hertz = 0.0;    // the tone's pitch
};

// Whether `kind` names a sound SynthesizeSample makes.
bool KnownSampleKind(const std::string& kind);

// The sample at `rate` frames a second, values from -1 to 1.
std::vector<double> SynthesizeSample(const SampleRecipe& recipe, double rate);
