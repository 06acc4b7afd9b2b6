#include "DataFolders.h"

namespace
{
juce::File applicationDataFolder (juce::File::SpecialLocationType location, const char* overrideSubfolder)
{
    const auto overrideRoot = juce::SystemStats::getEnvironmentVariable (DataFolders::rootOverrideVariable, {});

    if (overrideRoot.isNotEmpty())
        return juce::File (overrideRoot).getChildFile (overrideSubfolder);

    auto folder = juce::File::getSpecialLocation (location);
   #if JUCE_MAC
    folder = folder.getChildFile ("Application Support");
   #endif
    return folder;
}
} // namespace

DataFolders::DataFolders (const juce::String& productFolderName, const juce::String& applicationGroupIdentifier)
    : applicationGroup (applicationGroupIdentifier)
{
    userFolder = applicationDataFolder (juce::File::userApplicationDataDirectory, "user")
                     .getChildFile ("Tarnwick")
                     .getChildFile (productFolderName);
    userFolder.createDirectory();

    commonFolder = applicationDataFolder (juce::File::commonApplicationDataDirectory, "common").getChildFile ("Tarnwick");

    if (commonFolder.isDirectory())
        commonFolder = commonFolder.getChildFile (productFolderName);
}
