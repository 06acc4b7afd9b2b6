#include "ValmoraAudioProcessor.h"

// The plug-in wrappers create the processor through this function.
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new ValmoraAudioProcessor();
}
