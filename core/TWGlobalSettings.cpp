#include "TWGlobalSettings.h"

namespace
{
juce::PropertiesFile::Options settingsOptions()
{
    juce::PropertiesFile::Options options;
    options.storageFormat = juce::PropertiesFile::storeAsCompressedBinary;
    options.millisecondsBeforeSaving = 3000;
    options.ignoreCaseOfKeyNames = false;
    options.commonToAllUsers = false;
    options.doNotSave = false;
    return options;
}
} // namespace

TWGlobalSettings::TWGlobalSettings()
    : folders ("Valmora"),
      properties (std::make_unique<juce::PropertiesFile> (folders.userFolder.getChildFile ("Valmora.settings"), settingsOptions()))
{
}

juce::String TWGlobalSettings::get (const juce::String& key, const juce::String& fallback) const
{
    return properties->getValue (key, fallback);
}

void TWGlobalSettings::set (const juce::String& key, const juce::String& value)
{
    properties->setValue (key, value);
}
