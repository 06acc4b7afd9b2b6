#pragma once

#include "DataFolders.h"

#include <juce_data_structures/juce_data_structures.h>

#include <memory>

/** A small key-to-text store shared by every instance through one file in the user folder.

    Stored as JUCE's compressed binary properties file "Valmora.settings", written 3000 ms after
    the last change and when the store is destroyed. The editor keeps its zoom here.
*/
class TWGlobalSettings
{
public:
    TWGlobalSettings();

    /** The value stored under a key, or `fallback` when there is none. */
    juce::String get (const juce::String& key, const juce::String& fallback = {}) const;

    /** Stores a value; the file is written a few seconds later. */
    void set (const juce::String& key, const juce::String& value);

    juce::File getFile() const { return properties->getFile(); }

    DataFolders folders;

private:
    std::unique_ptr<juce::PropertiesFile> properties;
};
