#include "DemoMix.h"

#include <cmath>

namespace
{
constexpr double twoPi = 6.283185307179586;

double midiToHz (int note)
{
    return 440.0 * std::pow (2.0, (note - 69) / 12.0);
}

struct NoiseSource
{
    uint32_t state = 0x1234567u;

    float next()
    {
        state = state * 1664525u + 1013904223u;
        return (float) ((double) (state >> 8) / 8388608.0 - 1.0);
    }
};
} // namespace

juce::AudioBuffer<float> makeDemoMix (double sampleRate, double seconds)
{
    const int length = (int) (sampleRate * seconds);
    juce::AudioBuffer<float> mix (2, length);
    mix.clear();

    const double tempo = 120.0;
    const double beat = 60.0 / tempo;
    const int chordRoots[] = { 45, 41, 48, 43 };  // A minor, F, C, G: one bar each
    const int melody[] = { 76, 74, 72, 74, 76, 76, 76, 0, 74, 74, 74, 0, 76, 79, 79, 0 };
    NoiseSource noise;

    float* left = mix.getWritePointer (0);
    float* right = mix.getWritePointer (1);
    double bassPhase = 0.0, leadPhase = 0.0, chordPhase[3] = {};
    float hatFilter = 0.0f;

    for (int n = 0; n < length; ++n)
    {
        const double t = n / sampleRate;
        const double beatPosition = t / beat;
        const double timeInBeat = std::fmod (t, beat);
        const int bar = (int) (beatPosition / 4.0) % 4;
        const double fadeOut = std::min (1.0, (seconds - t) / 1.5);
        const double fadeIn = std::min (1.0, t / 0.05);
        const double envelopeScale = 0.45 * std::max (0.0, fadeOut) * fadeIn; // peaks near -3 dBFS

        // Kick on every beat: a falling sine with a short click.
        const double kickFrequency = 50.0 + 90.0 * std::exp (-timeInBeat * 30.0);
        const double kick = 0.9 * std::sin (twoPi * kickFrequency * timeInBeat) * std::exp (-timeInBeat * 7.0);

        // Snare on beats 2 and 4: noise burst plus a body tone.
        const bool snareBeat = ((int) beatPosition % 2) == 1;
        const double snare = snareBeat ? (0.35 * noise.next() + 0.25 * std::sin (twoPi * 190.0 * timeInBeat)) * std::exp (-timeInBeat * 18.0) : 0.0;

        // Hi-hat on every eighth note: high-passed noise, panned right.
        const double timeInEighth = std::fmod (t, beat * 0.5);
        const float hatNoise = noise.next();
        hatFilter = 0.6f * hatFilter + 0.4f * hatNoise;
        const double hat = 0.18 * (hatNoise - hatFilter) * std::exp (-timeInEighth * 60.0);

        // Bass: saw-like tone on the chord root, eighth-note pulses.
        bassPhase += midiToHz (chordRoots[bar] - 12) / sampleRate;
        const double bassSaw = 2.0 * (bassPhase - std::floor (bassPhase)) - 1.0;
        const double bass = 0.32 * (0.6 * bassSaw + 0.4 * std::sin (twoPi * bassPhase)) * (0.4 + 0.6 * std::exp (-timeInEighth * 6.0));

        // Chords: a minor or major triad pad, slightly detuned between the channels.
        const int third = (bar == 0) ? 3 : 4;
        const int intervals[3] = { 12, 12 + third, 19 };
        double padLeft = 0.0, padRight = 0.0;
        for (int voice = 0; voice < 3; ++voice)
        {
            chordPhase[voice] += midiToHz (chordRoots[bar] + intervals[voice]) / sampleRate;
            padLeft += std::sin (twoPi * chordPhase[voice]);
            padRight += std::sin (twoPi * chordPhase[voice] * 1.003);
        }
        const double padLevel = 0.06 * (0.7 + 0.3 * std::sin (twoPi * 0.25 * t));

        // Lead: a square-ish melody of eighth notes, panned left.
        const int step = (int) (beatPosition * 2.0) % 16;
        double lead = 0.0;
        if (melody[step] > 0)
        {
            leadPhase += midiToHz (melody[step]) / sampleRate;
            lead = 0.12 * std::tanh (3.0 * std::sin (twoPi * leadPhase)) * std::exp (-timeInEighth * 4.0);
        }

        const double centre = kick + snare + bass;
        left[n] = (float) (envelopeScale * (centre + padLevel * padLeft + 0.7 * lead + 0.4 * hat));
        right[n] = (float) (envelopeScale * (centre + padLevel * padRight + 0.3 * lead + 0.8 * hat));
    }

    return mix;
}
