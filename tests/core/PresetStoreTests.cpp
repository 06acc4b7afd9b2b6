#include "ProcessorFixture.h"

#include <cstring>

namespace
{
/** An empty data root for every test; files are laid out as an installation would. */
class PresetFolders : public ::testing::Test
{
protected:
    void SetUp() override { clear(); }
    void TearDown() override { clear(); }

    static void clear()
    {
        TestEnvironment::dataRoot().getChildFile ("user").deleteRecursively();
        TestEnvironment::dataRoot().getChildFile ("common").deleteRecursively();
    }

    static juce::File factoryRoot() { return TestEnvironment::dataRoot().getChildFile ("common/Tarnwick/Valmora/Factory Presets"); }
    static juce::File userRoot() { return TestEnvironment::dataRoot().getChildFile ("user/Tarnwick/Valmora/User Presets"); }

    static std::unique_ptr<PresetStore> makeStore()
    {
        return std::make_unique<PresetStore> ("valmora", "group.tarnwick.valmora2", 460, "Valmora", "Factory Presets", "User Presets");
    }

    /** A preset file: the header and a 476-byte blob, or the raw bytes given. */
    static void writePresetFile (const juce::File& file, int payloadSize = 476, bool withHeader = true, int sizeWordDelta = 0)
    {
        file.getParentDirectory().createDirectory();
        juce::MemoryOutputStream stream;

        if (withHeader)
        {
            stream.write ("nraT", 4);
            stream.writeInt (1450076024);
            stream.writeInt (16777216);
            stream.writeInt (payloadSize + 16 + sizeWordDelta);
        }

        for (int n = 0; n < payloadSize; ++n)
            stream.writeByte ((char) (n & 0x7f));

        file.replaceWithData (stream.getData(), stream.getDataSize());
    }

    static const PresetCategory* categoryNamed (const PresetStore& store, const juce::String& name)
    {
        for (const auto& category : store.getCategories())
            if (category.displayName == name)
                return &category;
        return nullptr;
    }
};
} // namespace

TEST (PresetDisplayNames, Rules)
{
    struct Case { const char* name; bool keepWhole; const char* shown; };
    const Case cases[] = {
        { "01_Warm.valmora", false, "Warm" },
        { "02_Mastering", false, "Mastering" },
        { "03_Loud_Rock", false, "Loud_Rock" },
        { "Bright.valmora", false, "Unknown name" },
        { "Vocals", false, "Unknown name" },
        { "01_Warm.valmora", true, "01_Warm" },
        { "Mix.valmora", true, "Mix" },
        { "My.Mix.valmora", true, "MyMix" },
    };

    for (const auto& c : cases)
        EXPECT_EQ (PresetStore::makeDisplayName (c.name, c.keepWhole), juce::String (c.shown)) << c.name;
}

TEST_F (PresetFolders, ScanListsCategoriesAndNamesInOrder)
{
    writePresetFile (factoryRoot().getChildFile ("02_Mastering/02_Loud.valmora"));
    writePresetFile (factoryRoot().getChildFile ("02_Mastering/01_Warm.valmora"));
    writePresetFile (factoryRoot().getChildFile ("01_Master/01_Default.valmora"));
    writePresetFile (userRoot().getChildFile ("01_Warm.valmora"));
    writePresetFile (userRoot().getChildFile ("Vocals/Bright.valmora"));

    auto store = makeStore();
    const auto& categories = store->getCategories();
    ASSERT_EQ (categories.size(), 4u);
    EXPECT_EQ (categories[0].displayName, "Master");
    EXPECT_EQ (categories[1].displayName, "Mastering");
    EXPECT_EQ (categories[2].displayName, "Unknown name");
    EXPECT_EQ (categories[3].displayName, "User Presets");
    EXPECT_FALSE (categories[1].isUser);
    EXPECT_TRUE (categories[2].isUser);

    ASSERT_EQ (categories[1].items.size(), 2u);
    EXPECT_EQ (categories[1].items[0].name, "Warm");
    EXPECT_EQ (categories[1].items[1].name, "Loud");
    EXPECT_EQ (categories[1].items[1].itemIndex, 1);
    EXPECT_EQ (categories[2].items[0].name, "Unknown name");
    EXPECT_EQ (categories[3].items[0].name, "01_Warm");

    EXPECT_FALSE (store->getCurrentPreset().valid);
    EXPECT_EQ (store->getCurrentPreset().name, "missing preset");

    EXPECT_TRUE (store->findPreset ("Mastering", "Loud"));
    EXPECT_EQ (store->getCurrentPreset().itemIndex, 1);
    EXPECT_FALSE (store->findPreset ("Mastering", "Nothing"));
    EXPECT_FALSE (store->getCurrentPreset().valid);
    EXPECT_EQ (store->getCurrentPreset().name, "Nothing");

    EXPECT_TRUE (store->selectPreset (0, 0));
    EXPECT_FALSE (store->selectPreset (0, 5));
    EXPECT_FALSE (store->selectPreset (-1, 0));
}

TEST_F (PresetFolders, AcceptanceRule)
{
    auto store = makeStore();
    auto accepts = [&] (const juce::File& file) { return store->isValidPresetFile (file); };
    const auto folder = userRoot();

    writePresetFile (folder.getChildFile ("raw460.valmora"), 460, false);
    writePresetFile (folder.getChildFile ("raw476.valmora"), 476, false);
    writePresetFile (folder.getChildFile ("current.valmora"), 476, true);
    writePresetFile (folder.getChildFile ("wrongsize.valmora"), 476, true, 4);
    writePresetFile (folder.getChildFile ("headeronly.valmora"), 0, true);
    writePresetFile (folder.getChildFile ("tiny.valmora"), 3, false);

    EXPECT_TRUE (accepts (folder.getChildFile ("raw460.valmora")));
    EXPECT_FALSE (accepts (folder.getChildFile ("raw476.valmora")));
    EXPECT_TRUE (accepts (folder.getChildFile ("current.valmora")));
    EXPECT_FALSE (accepts (folder.getChildFile ("wrongsize.valmora")));
    EXPECT_FALSE (accepts (folder.getChildFile ("headeronly.valmora")));
    EXPECT_FALSE (accepts (folder.getChildFile ("tiny.valmora")));
    EXPECT_FALSE (accepts (folder.getChildFile ("missing.valmora")));

    juce::MemoryBlock file;
    folder.getChildFile ("current.valmora").loadFileAsData (file);
    ASSERT_EQ (file.getSize(), 492u);
    const auto payload = store->unpackPresetData (file.getData(), file.getSize());
    ASSERT_TRUE (payload.has_value());
    EXPECT_EQ (payload->getSize(), 476u);
    EXPECT_EQ (std::memcmp (payload->getData(), static_cast<const char*> (file.getData()) + 16, 476), 0);

    EXPECT_FALSE (store->unpackPresetData (nullptr, 0).has_value());
    EXPECT_FALSE (store->unpackPresetData ("nra", 3).has_value());
}

TEST_F (PresetFolders, SavingWritesAHeaderedFileAndSelectsIt)
{
    ValmoraAudioProcessor processor;
    auto& store = processor.getPresetStore();
    const int userCategory = (int) store.getCategories().size() - 1;

    juce::MemoryBlock blob;
    processor.saveState (blob, true);
    ASSERT_TRUE (store.savePreset (blob, "Mix", userCategory));

    const auto file = userRoot().getChildFile ("Mix.valmora");
    ASSERT_TRUE (file.existsAsFile());
    EXPECT_EQ (file.getSize(), 492);
    EXPECT_TRUE (store.getCurrentPreset().valid);
    EXPECT_EQ (store.getCurrentPreset().name, "Mix");

    setParameter (processor, 12, 0.9f);
    juce::MemoryBlock changed;
    processor.saveState (changed, true);
    ASSERT_TRUE (store.savePreset (changed, "Mix", userCategory));
    EXPECT_EQ (store.getCategories()[(size_t) userCategory].items.size(), 1u) << "the older file is replaced";

    const auto data = store.readPresetFile (userCategory, 0);
    ASSERT_NE (data, nullptr);
    const auto payload = store.unpackPresetData (data->getData(), data->getSize());
    ASSERT_TRUE (payload.has_value());
    EXPECT_EQ (*payload, changed);

    EXPECT_EQ (store.readPresetFile (userCategory, 1), nullptr);
    EXPECT_EQ (store.readPresetFile (99, 0), nullptr);
}

TEST_F (PresetFolders, SavingRefusesUnsafeNamesAndFactoryCategories)
{
    writePresetFile (factoryRoot().getChildFile ("01_Master/01_Default.valmora"));
    auto store = makeStore();
    const int userCategory = (int) store->getCategories().size() - 1;
    juce::MemoryBlock blob (476, true);

    EXPECT_FALSE (store->savePreset (blob, "Factory", 0)) << "factory categories are read-only";

    const juce::String unsafeNames[] = { "", "   ", "../escape", "..", "a/b", "a\\b", "tab\there", juce::String ("nul") + juce::String::charToString (1) };
    for (const auto& name : unsafeNames)
        EXPECT_FALSE (store->savePreset (blob, name, userCategory)) << "\"" << name << "\"";

    EXPECT_EQ (userRoot().findChildFiles (juce::File::findFiles, true).size(), 0);
    EXPECT_FALSE (TestEnvironment::dataRoot().getChildFile ("user/Tarnwick/Valmora/escape.valmora").exists());

    EXPECT_TRUE (store->savePreset (blob, "Dots.in.name", userCategory));
    EXPECT_EQ (store->getCurrentPreset().name, "missing preset") << "no item matches, so the current preset stays";
}

TEST_F (PresetFolders, SavingIntoAPathBlockedByAFileWritesNothing)
{
    auto store = makeStore();
    const int userCategory = (int) store->getCategories().size() - 1;
    userRoot().deleteRecursively();
    userRoot().replaceWithText ("not a folder");

    EXPECT_FALSE (store->savePreset (juce::MemoryBlock (476, true), "Mix", userCategory));
    EXPECT_TRUE (userRoot().existsAsFile());
}

TEST_F (PresetFolders, StartupPresetIsLoadedWhenInstalled)
{
    ValmoraAudioProcessor author;
    setParameter (author, 12, 0.42f);
    author.setModuleStyle (5, 2);
    juce::MemoryBlock blob;
    author.saveState (blob, true);
    const auto file = factoryRoot().getChildFile ("01_Master/01_Default.valmora");
    file.getParentDirectory().createDirectory();
    file.replaceWithData (author.getPresetStore().createPresetFileData (blob.getData(), blob.getSize()).getData(), 492);

    ValmoraAudioProcessor processor;
    EXPECT_FLOAT_EQ (ValmoraAudioProcessor::normalisedValue (processor.getParameters()[12]), 0.42f);
    EXPECT_EQ (processor.getModuleStyle (5), 2);
    EXPECT_TRUE (processor.getPresetStore().getCurrentPreset().valid);
    EXPECT_EQ (processor.getPresetStore().getCurrentPreset().name, "Default");

    juce::MemoryBlock host;
    processor.saveState (host, false);
    uint32_t hashes[2];
    std::memcpy (hashes, static_cast<const char*> (host.getData()) + 4 * 119, 8);
    EXPECT_EQ ((int32_t) hashes[0], juce::String ("Master").hashCode());
    EXPECT_EQ ((int32_t) hashes[1], juce::String ("Default").hashCode());

    // A host blob naming a preset that is gone restores everything but selects nothing.
    file.deleteFile();
    processor.getPresetStore().refresh();
    ValmoraAudioProcessor restored;
    ASSERT_TRUE (restored.loadState (host.getData(), (int) host.getSize(), false));
    EXPECT_FALSE (restored.getPresetStore().getCurrentPreset().valid);
    EXPECT_FLOAT_EQ (ValmoraAudioProcessor::normalisedValue (restored.getParameters()[12]), 0.42f);
}

TEST_F (PresetFolders, WithoutFactoryPresetsTheConstructorDefaultsStay)
{
    ValmoraAudioProcessor processor;
    EXPECT_EQ (processor.getModuleStyle (0), 1);
    EXPECT_FALSE (processor.getPresetStore().getCurrentPreset().valid);
    EXPECT_FLOAT_EQ (ValmoraAudioProcessor::normalisedValue (processor.getParameters()[12]), 0.0f);
}
