// The preset store scanning a data folder full of hostile files: the input is turned into a few
// files (wrong sizes, wrong or damaged headers, size words from 0 to 4 GB, odd and foreign names,
// folders named like presets, a file too large to be a preset) below a private VALMORA_DATA_ROOT.
// Then the store scans, lists, reads, selects and saves, and every preset it lists is loaded into
// a processor, which must render finite audio. Optionally a whole processor is constructed on the
// folder, which loads the start-up preset "Master"/"Default" when the input made one.

#include "FuzzSupport.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace
{
const char* const factoryCategoryNames[] = { "01_Master", "02_Mastering_Loud", "Plain", "03_dots.in.name" };
const char* const userCategoryNames[] = { "01_Vocals", "Bright", "x_y.valmora" };

const char* const presetNames[] = {
    "01_Default.valmora", "02_Warm.valmora", "Mix.valmora", ".valmora", "_.valmora", "a.b.c.valmora",
    "__x__.valmora", "07_\xc3\xbc" "n\xc3\xaf" "c\xc3\xb6" "de_\xe5\x90\x8d.valmora", "with space_name.valmora",
    "UPPER.VALMORA", "no_extension", "01_Default.valmora.bak", " leading_space.valmora",
};

void writeWord (juce::MemoryOutputStream& stream, uint32_t word)
{
    stream.writeInt ((int) word);
}

/** File contents chosen by the input: raw bytes, a header with a true or false size word, or a
    legacy raw blob. */
juce::MemoryBlock makeContents (FuzzedDataProvider& input)
{
    juce::MemoryOutputStream stream;
    const int kind = input.ConsumeIntegralInRange (0, 3);
    const auto payload = input.ConsumeBytes<uint8_t> (input.ConsumeIntegralInRange<size_t> (0, 600));

    if (kind == 1 || kind == 2)
    {
        const uint32_t trueSize = (uint32_t) (payload.size() + (size_t) PresetStore::headerSize);
        writeWord (stream, PresetStore::magicWord);
        writeWord (stream, input.ConsumeBool() ? PresetStore::secondWord : input.ConsumeIntegral<uint32_t>());
        writeWord (stream, 16777216u);
        writeWord (stream, kind == 1 ? trueSize : input.ConsumeIntegral<uint32_t>());
    }

    stream.write (payload.data(), payload.size());

    if (kind == 3) // legacy raw blob: exactly 460 bytes, zero-padded or cut
    {
        auto block = stream.getMemoryBlock();
        block.setSize ((size_t) ValmoraAudioProcessor::legacyPresetBlobSize, true);
        return block;
    }

    return stream.getMemoryBlock();
}

/** A string from the input as a juce::String. JUCE requires valid UTF-8 here, so other bytes are
    taken as Latin-1 characters (file names of raw bytes are made by `makeRawName`). */
juce::String stringFromInput (const std::string& bytes)
{
    if (juce::CharPointer_UTF8::isValidString (bytes.c_str(), (int) bytes.size()))
        return juce::String::fromUTF8 (bytes.c_str(), (int) bytes.size());

    juce::String latin1;
    for (unsigned char byte : bytes)
        latin1 += juce::String::charToString ((juce::juce_wchar) byte);
    return latin1;
}

juce::String makeName (FuzzedDataProvider& input)
{
    if (input.ConsumeBool())
        return presetNames[input.ConsumeIntegralInRange<size_t> (0, std::size (presetNames) - 1)];

    // A name from the input; only what no file system allows in a name is replaced.
    auto name = stringFromInput (input.ConsumeRandomLengthString (60))
                    .replaceCharacter ('/', '_')
                    .replaceCharacter ('\\', '_');

    if (name.isEmpty() || name == "." || name == "..")
        name = "empty";

    return name + (input.ConsumeBool() ? ".valmora" : "");
}

/** A file name of raw bytes, not necessarily UTF-8, as another program or an archive can leave in
    a folder; written without going through JUCE. */
std::string makeRawName (FuzzedDataProvider& input)
{
    std::string name;

    for (char byte : input.ConsumeRandomLengthString (40))
        if (byte != '/' && byte != 0)
            name += byte;

    if (name.empty() || name == "." || name == "..")
        name = "raw";

    return name + (input.ConsumeBool() ? ".valmora" : "");
}

void populate (FuzzedDataProvider& input, const juce::File& factoryRoot, const juce::File& userRoot)
{
    const int numFiles = input.ConsumeIntegralInRange (1, 8);

    for (int index = 0; index < numFiles && input.remaining_bytes() > 0; ++index)
    {
        const int place = input.ConsumeIntegralInRange (0, 7);
        juce::File folder = place < 4 ? factoryRoot.getChildFile (factoryCategoryNames[place])
                          : place < 7 ? userRoot.getChildFile (userCategoryNames[place - 4])
                                      : userRoot;
        folder.createDirectory();
        if (input.ConsumeIntegralInRange (0, 7) == 0)
        {
            const auto contents = makeContents (input);
            const auto path = std::filesystem::path (folder.getFullPathName().toStdString()) / makeRawName (input);

            if (input.ConsumeBool())
            {
                std::error_code error;
                std::filesystem::create_directory (path, error);
            }
            else if (auto* stream = std::fopen (path.c_str(), "wb"))
            {
                std::fwrite (contents.getData(), 1, contents.getSize(), stream);
                std::fclose (stream);
            }

            continue;
        }

        const auto file = folder.getChildFile (makeName (input));

        switch (input.ConsumeIntegralInRange (0, 9))
        {
            case 0: // a folder where a preset file would be
                file.createDirectory();
                break;

            case 1: // too large to be a preset, with a header claiming exactly that size
            {
                constexpr uint32_t largeSize = 2u << 20;
                juce::MemoryOutputStream header;
                writeWord (header, PresetStore::magicWord);
                writeWord (header, PresetStore::secondWord);
                writeWord (header, 16777216u);
                writeWord (header, largeSize);
                file.replaceWithData (header.getData(), header.getDataSize());
                std::error_code error;
                std::filesystem::resize_file (file.getFullPathName().toStdString(), largeSize, error);
                break;
            }

            default:
            {
                const auto contents = makeContents (input);
                file.replaceWithData (contents.getData(), contents.getSize());
                break;
            }
        }
    }
}

void loadAndRender (const juce::MemoryBlock& payload)
{
    auto& state = fuzz::preparedProcessor();
    state.processor.loadState (state.start.getData(), (int) state.start.getSize(), false);
    state.processor.loadState (payload.getData(), (int) payload.getSize(), true);
    fuzz::checkProcessedOutputIsFinite (state.processor, 2);
}
} // namespace

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    fuzz::initialise();
    fuzz::preparedProcessor();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    if (size > 8192)
        return 0;

    const auto& root = fuzz::initialise();
    // Cleared with std::filesystem: JUCE's own listing cannot cope with every name made below.
    std::error_code error;
    std::filesystem::remove_all (root.getChildFile ("common").getFullPathName().toStdString(), error);
    std::filesystem::remove_all (root.getChildFile ("user").getFullPathName().toStdString(), error);

    // The "Tarnwick" folder must exist for the all-users folder to be used at all.
    const auto factoryRoot = root.getChildFile ("common/Tarnwick/Valmora/Factory Presets");
    const auto userRoot = root.getChildFile ("user/Tarnwick/Valmora/User Presets");
    factoryRoot.createDirectory();
    userRoot.createDirectory();

    FuzzedDataProvider input (data, size);
    const bool constructProcessor = input.ConsumeBool();
    populate (input, factoryRoot, userRoot);

    if (constructProcessor)
    {
        // Construction scans the folders and loads "Master"/"Default" if the input made one.
        ValmoraAudioProcessor fresh;
        fuzz::prepare (fresh, 2, 64);
        fuzz::checkProcessedOutputIsFinite (fresh, 2);
    }

    PresetStore store ("valmora", "group.tarnwick.valmora2", ValmoraAudioProcessor::legacyPresetBlobSize,
                       "Valmora", "Factory Presets", "User Presets");

    const auto& categories = store.getCategories();

    if (categories.empty() || categories.back().displayName != "User Presets")
        fuzz::fail ("the \"User Presets\" category is missing or not last");

    for (int c = 0; c < (int) categories.size(); ++c)
    {
        const auto& items = categories[(size_t) c].items;

        for (int i = 0; i < (int) items.size(); ++i)
        {
            if (items[(size_t) i].categoryIndex != c || items[(size_t) i].itemIndex != i || ! items[(size_t) i].valid)
                fuzz::fail ("listed item with wrong indices");

            // Anything the scan listed passed the acceptance rule, and nothing changed since.
            const auto file = store.readPresetFile (c, i);

            if (file == nullptr)
                fuzz::fail ("a listed preset cannot be read");

            const auto payload = store.unpackPresetData (file->getData(), file->getSize());

            if (! payload)
                fuzz::fail ("a listed preset is not accepted");

            loadAndRender (*payload);
        }

        if (store.readPresetFile (c, (int) items.size()) != nullptr || store.readPresetFile (c, -1) != nullptr)
            fuzz::fail ("an item index out of range was read");
    }

    // The operations the preset manager calls with indices and names from its lists.
    const int numCategories = (int) categories.size();
    store.listCategory (input.ConsumeIntegralInRange (-1, numCategories), input.ConsumeBool());
    store.selectPreset (input.ConsumeIntegralInRange (-1, numCategories), input.ConsumeIntegralInRange (-1, 8));
    store.findPreset (makeName (input), makeName (input));

    if (store.readPresetFile (numCategories, 0) != nullptr)
        fuzz::fail ("a category index out of range was read");

    // Saving under a name from the input: refused unless the name is safe, and then written
    // straight into "User Presets", never anywhere else.
    const auto saveName = stringFromInput (input.ConsumeRandomLengthString (40));
    juce::MemoryBlock blob;
    fuzz::preparedProcessor().processor.saveState (blob, true);
    const bool saved = store.savePreset (blob, saveName, (int) store.getCategories().size() - 1);

    if (saved && ! PresetStore::isSafePresetName (saveName))
        fuzz::fail ("an unsafe preset name was saved");

    if (saved)
    {
        const auto written = userRoot.getChildFile (saveName + ".valmora");

        if (written.getParentDirectory() != userRoot || ! written.existsAsFile())
        {
            std::fprintf (stderr, "saved as \"%s\"\n", written.getFullPathName().toRawUTF8());
            fuzz::fail ("a saved preset is not in the user preset folder");
        }

        juce::MemoryBlock contents;
        written.loadFileAsData (contents);
        const auto payload = store.unpackPresetData (contents.getData(), contents.getSize());

        if (! payload || *payload != blob)
            fuzz::fail ("a saved preset does not read back");
    }

    return 0;
}
