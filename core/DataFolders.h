#pragma once

#include <juce_core/juce_core.h>

/** The product's per-user and all-users data folders.

    The user folder (settings file, user presets) is the user application-data folder + "Tarnwick"
    + the product folder, created when missing. The common folder (factory presets, assets) is the
    all-users application-data folder + "Tarnwick", extended by the product folder whenever the
    "Tarnwick" folder exists; it is never created. On macOS both sit below "Application Support".

    Setting the environment variable VALMORA_DATA_ROOT roots both elsewhere: the user folder
    becomes $VALMORA_DATA_ROOT/user/Tarnwick/<product> and the common folder
    $VALMORA_DATA_ROOT/common/Tarnwick[/<product>]. Tests and packagers use it so that nothing
    touches a real user's folders; an installed plug-in never sees it set.
*/
class DataFolders
{
public:
    DataFolders (const juce::String& productFolderName, const juce::String& applicationGroupIdentifier = {});

    juce::File userFolder;
    juce::File commonFolder;
    juce::String applicationGroup;

    /** The name of the environment variable that re-roots both folders. */
    static constexpr const char* rootOverrideVariable = "VALMORA_DATA_ROOT";
};
