#include "PresetStore.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <iostream>

namespace
{
uint32_t readLittleEndianWord (const uint8_t* bytes) noexcept
{
    return (uint32_t) bytes[0] | ((uint32_t) bytes[1] << 8) | ((uint32_t) bytes[2] << 16) | ((uint32_t) bytes[3] << 24);
}

/** Whether a file name is well-formed UTF-8: no stray or missing continuation bytes, no overlong
    forms (which could hide a NUL or a '/'), no surrogates, nothing above U+10FFFF. */
bool isStrictUtf8 (const std::string& name) noexcept
{
    for (size_t i = 0; i < name.size();)
    {
        const auto lead = (unsigned char) name[i];

        if (lead < 0x80)
        {
            if (lead == 0)
                return false;

            ++i;
            continue;
        }

        size_t extra;
        uint32_t codePoint, smallest;

        if ((lead & 0xe0) == 0xc0)      { extra = 1; codePoint = lead & 0x1fu; smallest = 0x80; }
        else if ((lead & 0xf0) == 0xe0) { extra = 2; codePoint = lead & 0x0fu; smallest = 0x800; }
        else if ((lead & 0xf8) == 0xf0) { extra = 3; codePoint = lead & 0x07u; smallest = 0x10000; }
        else return false;

        if (name.size() - i <= extra)
            return false;

        for (size_t k = 1; k <= extra; ++k)
        {
            const auto next = (unsigned char) name[i + k];

            if ((next & 0xc0) != 0x80)
                return false;

            codePoint = (codePoint << 6) | (next & 0x3fu);
        }

        if (codePoint < smallest || codePoint > 0x10ffff || (codePoint >= 0xd800 && codePoint <= 0xdfff))
            return false;

        i += extra + 1;
    }

    return true;
}

/** Children of a folder (files or folders, as `whatToFind` says) whose names match `pattern`
    ignoring case, sorted by full path, upper-cased, so numeric prefixes set the order whatever the
    letter case.

    The folder is read with std::filesystem, not juce::File::findChildFiles: JUCE turns every name
    it meets into a juce::String on the assumption that it is valid UTF-8, and a name that is not
    (any program, archive or damaged disk can leave one in a preset folder) makes that conversion
    read and write past the end of the string's buffer. Such names are skipped here; no preset
    this plug-in wrote can have one. */
juce::Array<juce::File> sortedChildren (const juce::File& folder, int whatToFind, const juce::String& pattern)
{
    juce::Array<juce::File> children;
    const bool wantFolders = (whatToFind & juce::File::findDirectories) != 0;
    const bool wantFiles = (whatToFind & juce::File::findFiles) != 0;
    std::error_code error;

    for (std::filesystem::directory_iterator entry (folder.getFullPathName().toStdString(), error), end;
         ! error && entry != end; entry.increment (error))
    {
        const std::string name = entry->path().filename().string();

        if (! isStrictUtf8 (name))
            continue;

        std::error_code statusError;
        const bool isFolder = entry->is_directory (statusError); // follows links, as JUCE does

        if (! (isFolder ? wantFolders : wantFiles))
            continue;

        const auto fileName = juce::String::fromUTF8 (name.data(), (int) name.size());

        if (fileName.matchesWildcard (pattern, true))
            children.add (folder.getChildFile (fileName));
    }

    std::sort (children.begin(), children.end(), [] (const juce::File& a, const juce::File& b)
    {
        return a.getFullPathName().toUpperCase().compare (b.getFullPathName().toUpperCase()) < 0;
    });
    return children;
}
} // namespace

PresetStore::PresetStore (const juce::String& extension,
                          const juce::String& applicationGroupIdentifier,
                          int32_t rawSize,
                          const juce::String& productFolderName,
                          const juce::String& factoryFolder,
                          const juce::String& userFolder)
    : fileExtension (extension),
      expectedRawSize (rawSize),
      folders (productFolderName, applicationGroupIdentifier),
      factoryFolderName (factoryFolder),
      userFolderName (userFolder)
{
    refresh();
}

juce::String PresetStore::makeDisplayName (const juce::String& name, bool keepWhole)
{
    juce::String display = name;

    // Factory and sub-folder names carry an ordering prefix ("03_Loud_Rock") that is not shown.
    if (! keepWhole)
    {
        juce::StringArray parts;
        parts.addTokens (name, "_", {});

        if (parts.size() < 2)
            return "Unknown name";

        parts.remove (0);
        display = parts.joinIntoString ("_");
    }

    // Drop the extension: every part before the last dot, joined without separator.
    if (display.containsChar ('.'))
    {
        juce::StringArray parts;
        parts.addTokens (display, ".", {});
        parts.remove (parts.size() - 1);
        display = parts.joinIntoString ({});
    }

    return display;
}

juce::File PresetStore::folderOf (const PresetCategory& category) const
{
    return category.isUser ? folders.userFolder.getChildFile (category.relativePath)
                           : getFactoryRoot().getChildFile (category.relativePath);
}

void PresetStore::refresh()
{
    categories.clear();
    currentPreset = {};
    currentPreset.name = "missing preset";

    const auto factoryRoot = getFactoryRoot();

    if (factoryRoot.isDirectory())
    {
        for (const auto& folder : sortedChildren (factoryRoot, juce::File::findDirectories, "*"))
        {
            categories.push_back ({ false, makeDisplayName (folder.getFileName(), false), folder.getFileName(), {} });
            listCategory ((int) categories.size() - 1, true);
        }
    }

    const auto userRoot = getUserRoot();

    if (userRoot.isDirectory())
    {
        for (const auto& folder : sortedChildren (userRoot, juce::File::findDirectories, "*"))
        {
            categories.push_back ({ true, makeDisplayName (folder.getFileName(), false), userFolderName + "/" + folder.getFileName(), {} });
            listCategory ((int) categories.size() - 1, true);
        }
    }

    categories.push_back ({ true, userFolderName, userFolderName, {} });
    listCategory ((int) categories.size() - 1, false);
}

void PresetStore::listCategory (int categoryIndex, bool stripNames)
{
    if (categoryIndex < 0 || categoryIndex >= (int) categories.size())
        return;

    auto& category = categories[(size_t) categoryIndex];
    const auto folder = folderOf (category);

    if (! folder.isDirectory())
        return;

    category.items.clear();
    const bool keepWhole = ! stripNames && category.isUser;

    for (const auto& file : sortedChildren (folder, juce::File::findFiles, "*." + fileExtension))
    {
        if (! isValidPresetFile (file))
            continue;

        PresetItem item;
        item.valid = true;
        item.name = makeDisplayName (file.getFileName(), keepWhole);
        item.itemIndex = (int32_t) category.items.size();
        item.categoryIndex = categoryIndex;
        item.isUser = category.isUser;
        item.file = file;

        if (currentPreset.valid && currentPreset.categoryIndex == categoryIndex && currentPreset.name == item.name)
            currentPreset = item;

        category.items.push_back (item);
    }
}

bool PresetStore::findPreset (const juce::String& categoryName, const juce::String& presetName)
{
    for (const auto& category : categories)
    {
        if (category.displayName != categoryName)
            continue;

        for (const auto& item : category.items)
        {
            if (item.name == presetName)
            {
                currentPreset = item;
                return true;
            }
        }
    }

    setCurrentPresetInvalid (presetName);
    return false;
}

bool PresetStore::selectPreset (int categoryIndex, int itemIndex)
{
    if (categoryIndex < 0 || categoryIndex >= (int) categories.size())
        return false;

    const auto& items = categories[(size_t) categoryIndex].items;

    if (itemIndex < 0 || itemIndex >= (int) items.size())
        return false;

    currentPreset = items[(size_t) itemIndex];
    return true;
}

void PresetStore::setCurrentPresetInvalid (const juce::String& name)
{
    currentPreset.valid = false;
    currentPreset.name = name;
}

std::unique_ptr<juce::MemoryBlock> PresetStore::readPresetFile (int categoryIndex, int itemIndex) const
{
    if (categoryIndex < 0 || categoryIndex >= (int) categories.size())
        return nullptr;

    const auto& items = categories[(size_t) categoryIndex].items;

    if (itemIndex < 0 || itemIndex >= (int) items.size())
        return nullptr;

    const auto& file = items[(size_t) itemIndex].file;

    if (! file.existsAsFile())
        return nullptr;

    auto data = std::make_unique<juce::MemoryBlock>();

    if (! file.loadFileAsData (*data) || (juce::int64) data->getSize() != file.getSize())
        return nullptr;

    return data;
}

bool PresetStore::isValidPresetFile (const juce::File& file) const
{
    // No valid preset is anywhere near this size; refusing larger files up front keeps a hostile
    // folder from making the scan read huge files into memory.
    constexpr juce::int64 largestPlausibleFile = 1 << 20;

    if (! file.existsAsFile() || file.getSize() > largestPlausibleFile)
        return false;

    juce::MemoryBlock data;

    if (! file.loadFileAsData (data))
        return false;

    return unpackPresetData (data.getData(), data.getSize()).has_value();
}

std::optional<juce::MemoryBlock> PresetStore::unpackPresetData (const void* data, size_t size) const
{
    if (data == nullptr || size <= 3)
        return std::nullopt;

    const auto* bytes = static_cast<const uint8_t*> (data);

    if (size >= 4 && readLittleEndianWord (bytes) == magicWord)
    {
        if (size > (size_t) headerSize && readLittleEndianWord (bytes + 12) == (uint32_t) size)
            return juce::MemoryBlock (bytes + headerSize, size - (size_t) headerSize);

        return std::nullopt;
    }

    if (expectedRawSize == -1 || size == (size_t) expectedRawSize)
        return juce::MemoryBlock (data, size);

    return std::nullopt;
}

juce::MemoryBlock PresetStore::createPresetFileData (const void* blob, size_t size) const
{
    juce::MemoryOutputStream stream;
    stream.writeInt ((int) magicWord);
    stream.writeInt ((int) secondWord);
    stream.writeInt (headerVersion);
    stream.writeInt ((int) (size + (size_t) headerSize));
    stream.write (blob, size);
    return stream.getMemoryBlock();
}

bool PresetStore::isSafePresetName (const juce::String& name)
{
    // A leading "~" makes juce::File::getChildFile take the name for an absolute path ("~user"
    // expands to a home folder, anything else stays relative to the working directory), so such a
    // preset would be written outside the preset folder.
    if (name.trim().isEmpty() || name.containsAnyOf ("/\\") || name.contains ("..") || name.startsWithChar ('~'))
        return false;

    for (auto character : name)
        if (character < 0x20 || character == 0x7f)
            return false;

    // juce::String stops at a NUL, so a name that was cut short there is caught by its callers
    // comparing lengths; here every remaining character is printable.
    return true;
}

bool PresetStore::savePreset (const juce::MemoryBlock& blob, const juce::String& name, int categoryIndex)
{
    if (categoryIndex < 0 || categoryIndex >= (int) categories.size() || ! categories[(size_t) categoryIndex].isUser)
        return false;

    if (! isSafePresetName (name))
        return false;

    const auto fileData = createPresetFileData (blob.getData(), blob.getSize());

    auto folder = folders.userFolder;

    for (const auto& part : juce::StringArray::fromTokens (userFolderName, "/", {}))
    {
        folder = folder.getChildFile (part);

        if (folder.existsAsFile())
        {
            std::cout << "Invalid path (pathname is file)" << std::endl;
            return false;
        }

        if (! folder.isDirectory() && ! folder.createDirectory())
            return false;
    }

    const auto file = folder.getChildFile (name + "." + fileExtension);

    if (file.getParentDirectory() != folder)
        return false;

    file.deleteFile();

    {
        juce::FileOutputStream stream (file);

        if (! stream.openedOk() || ! stream.write (fileData.getData(), fileData.getSize()))
            return false;
    }

    const auto previous = currentPreset;
    listCategory (categoryIndex, categories[(size_t) categoryIndex].relativePath != userFolderName);

    for (const auto& item : categories[(size_t) categoryIndex].items)
    {
        if (item.name.equalsIgnoreCase (name))
        {
            currentPreset = item;
            return true;
        }
    }

    currentPreset = previous;
    return true;
}
