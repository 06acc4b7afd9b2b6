#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

/** A short synthesised stereo demo mix (drums, bass, chords, lead), made here so the renderer
    produces real sound without any input file. */
juce::AudioBuffer<float> makeDemoMix (double sampleRate, double seconds);
