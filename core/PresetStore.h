#pragma once

#include "DataFolders.h"

#include <juce_core/juce_core.h>

#include <memory>
#include <optional>
#include <vector>

/** One listed preset file. */
struct PresetItem
{
    bool valid = false;
    juce::String name;
    int32_t itemIndex = 0;
    int32_t categoryIndex = 0;
    bool isUser = false;
    juce::File file;
};

/** A folder of presets: a factory category, a user sub-folder, or the "User Presets" root. */
struct PresetCategory
{
    bool isUser = false;
    juce::String displayName;
    juce::String relativePath;
    std::vector<PresetItem> items;
};

/** The preset folders, their scanned lists, the current preset, and preset file reading and writing.

    Factory presets live in <common folder>/"Factory Presets"/<category>/, user presets in
    <user folder>/"User Presets" and its sub-folders. A preset file is a 16-byte header (magic
    "nraT", 1450076024, header version, total size) followed by the preset blob; header-less files
    of the legacy raw size are accepted too. Runs on the message thread only.
*/
class PresetStore
{
public:
    static constexpr int32_t headerSize = 16;
    static constexpr uint32_t magicWord = 0x5461726eu;   // "Tarn", stored little-endian as "nraT"
    static constexpr uint32_t secondWord = 1450076024u;

    PresetStore (const juce::String& fileExtension,
                 const juce::String& applicationGroupIdentifier,
                 int32_t expectedRawSize,
                 const juce::String& productFolderName,
                 const juce::String& factoryFolderName,
                 const juce::String& userFolderName);

    /** Rescans every folder; afterwards no preset is current. */
    void refresh();

    /** Rescans the preset files of one category. */
    void listCategory (int categoryIndex, bool stripNames);

    /** Makes the first preset with these display names current; otherwise the current preset
        becomes invalid and takes `presetName`. */
    bool findPreset (const juce::String& categoryName, const juce::String& presetName);

    /** Makes a listed preset current; false for an index out of range. */
    bool selectPreset (int categoryIndex, int itemIndex);

    /** The whole file of a listed preset, or null when it cannot be read completely. */
    std::unique_ptr<juce::MemoryBlock> readPresetFile (int categoryIndex, int itemIndex) const;

    /** Whether a file's contents pass the acceptance rule. */
    bool isValidPresetFile (const juce::File& file) const;

    /** Applies the acceptance rule: the payload of accepted data (the header removed), or nothing. */
    std::optional<juce::MemoryBlock> unpackPresetData (const void* data, size_t size) const;

    /** Puts the 16-byte preset file header in front of a preset blob. */
    juce::MemoryBlock createPresetFileData (const void* blob, size_t size) const;

    /** Writes a preset into the "User Presets" folder and makes it current. Only for a user
        category, and only for a safe name (see `isSafePresetName`); returns whether it wrote. */
    bool savePreset (const juce::MemoryBlock& blob, const juce::String& name, int categoryIndex);

    /** False for a name that could leave the user preset folder or make an unusable file name:
        empty after trimming, containing "/" or "\\", "..", or any control character (NUL included),
        or starting with "~" (which JUCE reads as the start of an absolute path). */
    static bool isSafePresetName (const juce::String& name);

    /** The name shown for a file or folder name (see the implementation for the rules). */
    static juce::String makeDisplayName (const juce::String& name, bool keepWhole);

    const std::vector<PresetCategory>& getCategories() const noexcept { return categories; }
    const PresetItem& getCurrentPreset() const noexcept { return currentPreset; }

    /** Marks the current preset invalid, showing `name` (an imported preset, say). */
    void setCurrentPresetInvalid (const juce::String& name);

    juce::File getFactoryRoot() const { return folders.commonFolder.getChildFile (factoryFolderName); }
    juce::File getUserRoot() const { return folders.userFolder.getChildFile (userFolderName); }

    const int32_t headerVersion = 16777216;
    const juce::String fileExtension;
    const int32_t expectedRawSize;

private:
    juce::File folderOf (const PresetCategory& category) const;

    PresetItem currentPreset;
    std::vector<PresetCategory> categories;
    DataFolders folders;
    const juce::String factoryFolderName;
    const juce::String userFolderName;
};
